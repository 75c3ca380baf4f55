#include "console/menus.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "console/screen.h"
#include "console/windows.h"

namespace console {
namespace {

constexpr int kNoHotLetter = -1;

int TextLength(const char* text) { return static_cast<int>(strnlen(text, kImageColumns)); }

// Index of the first capital letter, the hot letter.
int HotLetterIndex(const char* text) {
  for (int i = 0; text[i] != '\0' && i < kImageColumns; ++i) {
    if (text[i] >= 'A' && text[i] <= 'Z') return i;
  }
  return kNoHotLetter;
}

int UpperCase(int key) { return key >= 'a' && key <= 'z' ? key - ('a' - 'A') : key; }

// The first text, from the top, whose hot letter is key (in either case).
int FindHotLetter(const std::vector<const char*>& texts, int key) {
  key = UpperCase(key);
  for (size_t i = 0; i < texts.size(); ++i) {
    int hot = HotLetterIndex(texts[i]);
    if (hot != kNoHotLetter && texts[i][hot] == key) return static_cast<int>(i);
  }
  return -1;
}

std::vector<const char*> ListOf(const char* const* texts) {
  std::vector<const char*> list;
  if (texts == nullptr) return list;
  for (; *texts != nullptr; ++texts) list.push_back(*texts);
  return list;
}

void DrawHotLetter(const char* text, int row, int column, int code) {
  int hot = HotLetterIndex(text);
  if (hot == kNoHotLetter) return;
  const char letter[] = {text[hot], '\0'};
  PutText(letter, row, column + hot, 0, ' ', code);
}

// A text in a colour with its hot letter in another, over width cells.
void DrawEntry(const char* text, int row, int column, int width, int code, int hot_code) {
  PutText(text, row, column, width, ' ', code);
  DrawHotLetter(text, row, column, hot_code);
}

}  // namespace

int BarMenu(const char* const* title_list, int row, int initial) {
  std::vector<const char*> titles = ListOf(title_list);
  int count = static_cast<int>(titles.size());
  if (count == 0) return 0;
  int total = 0;
  for (const char* title : titles) total += TextLength(title);
  // One title has no gap to spread; the layout then just starts it at 1.
  int gap = count > 1 ? (kConsoleColumns - total) / (count - 1) : 0;
  std::vector<int> columns(count, 1);
  for (int i = 1; i < count; ++i) columns[i] = columns[i - 1] + TextLength(titles[i - 1]) + gap;

  auto draw_in_bar = [&](int i) {
    DrawEntry(titles[i], row, columns[i], 0, kInverse, kInverseBright);
  };
  auto draw_current = [&](int i) { DrawEntry(titles[i], row, columns[i], 0, kNormal, kBright); };
  auto draw_chosen = [&](int i) { PutText(titles[i], row, columns[i], 0, ' ', kBright); };

  int current = std::clamp(initial - 1, 0, count - 1);
  int first_length = TextLength(titles[0]);
  if (current != 0) {
    PutText(titles[0], row, 1, kConsoleColumns, ' ', kInverse);
  } else {
    PutText("", row, first_length + 1, kConsoleColumns - first_length, ' ', kInverse);
  }
  DrawHotLetter(titles[0], row, 1, kInverseBright);
  for (int i = 1; i < count; ++i) {
    if (i != current) draw_in_bar(i);
  }

  int drawn = -1;
  while (true) {
    if (current != drawn) {
      draw_current(current);
      drawn = current;
    }
    int key = GetKey();
    int left_behind = current;
    switch (key) {
      case kKeyLeft:
        if (current > 0) --current;
        break;
      case kKeyRight:
        if (current < count - 1) ++current;
        break;
      case kKeyEscape:
      case kKeyF1:
        return 0;
      case kKeyEnter:
        draw_chosen(current);
        return current + 1;
      case kKeyCtrlEnter:
        draw_chosen(current);
        return -(current + 1);
      default: {
        int match = FindHotLetter(titles, key);
        if (match < 0) {
          Beep();
          break;
        }
        if (match != current) draw_in_bar(current);
        draw_chosen(match);
        return match + 1;
      }
    }
    if (current != left_behind) draw_in_bar(left_behind);
  }
}

int PopupMenu(const char* const* item_list, int row, int column, int initial, int cascade) {
  std::vector<const char*> items = ListOf(item_list);
  int count = static_cast<int>(items.size());
  if (count == 0) return 0;
  int widest = 0;
  for (const char* item : items) widest = std::max(widest, TextLength(item));
  int current = std::clamp(initial - 1, 0, count - 1);
  if (column + widest + 2 > kConsoleColumns) column = kConsoleColumns - 2 - widest;

  Window* window = OpenWindow(row, column, row + count + 1, column + widest + 2, "", 1);
  auto draw_item = [&](int i, int code, int hot_code) {
    DrawEntry(items[i], row + i + 1, column + 1, widest + 1, code, hot_code);
  };
  for (int i = 0; i < count; ++i) draw_item(i, kNormal, kBright);

  int drawn = -1;
  while (true) {
    if (current != drawn) {
      draw_item(current, kInverse, kInverseBright);
      drawn = current;
    }
    int key = GetKey();
    int left_behind = current;
    switch (key) {
      case kKeyDown:
        if (current < count - 1) ++current;
        break;
      case kKeyUp:
        if (current > 0) --current;
        break;
      case kKeyLeft:
      case kKeyRight:
        if (cascade) {
          // Escape closes this pull-down, the arrow moves the bar, and
          // Ctrl-Enter opens the pull-down of the title it reached.
          const char keys[] = {static_cast<char>(kKeyEscape), static_cast<char>(key),
                               static_cast<char>(kKeyCtrlEnter), '\0'};
          StuffKeys(keys);
        }
        break;
      case kKeyEscape:
      case kKeyF1:
        CloseWindow(&window);
        return 0;
      case kKeyEnter:
        CloseWindow(&window);
        return current + 1;
      default: {
        int match = FindHotLetter(items, key);
        if (match < 0) {
          Beep();
          break;
        }
        CloseWindow(&window);
        return match + 1;
      }
    }
    if (current != left_behind) draw_item(left_behind, kNormal, kBright);
  }
}

int RunMenu(const char* const* definition, int row, int initial) {
  if (definition == nullptr) return 0;
  std::vector<const char*> titles;
  std::vector<const char* const*> item_lists;
  while (*definition != nullptr) {
    titles.push_back(*definition++);
    item_lists.push_back(definition);
    while (*definition != nullptr) ++definition;
    ++definition;  // the group's terminator
  }
  int count = static_cast<int>(titles.size());
  if (count == 0) return 0;
  int total = 0;
  for (const char* title : titles) total += TextLength(title);
  std::vector<int> columns(count, 1);
  for (int i = 1; i < count; ++i) {
    columns[i] = columns[i - 1] + TextLength(titles[i - 1]) + (kConsoleColumns - total) / count;
  }
  titles.push_back(nullptr);

  int selection = initial / 100;
  int initial_item = initial % 100;
  while (true) {
    int chosen = BarMenu(titles.data(), row, selection);
    if (chosen == 0) return 0;
    int title = std::abs(chosen);
    const char* const* items = item_lists[title - 1];
    bool has_items = *items != nullptr;
    selection = title;
    if (!has_items) {
      if (chosen > 0) return title * 100;
      continue;
    }
    int item = PopupMenu(items, row + 1, columns[title - 1], initial_item, 1);
    if (item != 0) return title * 100 + item;
  }
}

}  // namespace console
