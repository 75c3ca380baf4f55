#include "console/number_list.h"

#include <algorithm>
#include <cstdio>

#include "console/line_editor.h"
#include "console/screen.h"

namespace console {
namespace {

// The numbers joined by ","; cut at the list width.
void ListText(const uint16_t* list, char (&text)[kNumberListWidth + 1]) {
  text[0] = '\0';
  const int count = std::min<int>(list[0], kNumberListLimit);
  size_t used = 0;
  for (int i = 1; i <= count && used < sizeof text - 1; ++i) {
    const int written =
        std::snprintf(text + used, sizeof text - used, i == 1 ? "%u" : ",%u", list[i]);
    if (written < 0) break;
    used = std::min(used + static_cast<size_t>(written), sizeof text - 1);
  }
}

// Every run of digits is one number; anything else separates them.
void ReadList(const char* text, uint16_t* list) {
  int count = 0;
  for (const char* c = text; *c != '\0' && count < kNumberListLimit;) {
    if (*c < '0' || *c > '9') {
      ++c;
      continue;
    }
    uint32_t number = 0;
    for (; *c >= '0' && *c <= '9'; ++c)
      number = std::min<uint32_t>(number * 10 + (*c - '0'), 65535);
    list[++count] = static_cast<uint16_t>(number);
  }
  list[0] = static_cast<uint16_t>(count);
}

}  // namespace

int EditNumberList(int row, int column, uint16_t* list, uint32_t flags) {
  char text[kNumberListWidth + 1];
  ListText(list, text);
  const char exit_keys[] = {kKeyEnter, kKeyEscape, static_cast<char>(kKeyDown),
                            static_cast<char>(kKeyUp), '\0'};
  const int key = EditLine(text, row, column, kNumberListWidth, ' ', "0-9, ", exit_keys, flags);
  if (key != kKeyEscape) ReadList(text, list);
  ShowNumberList(row, column, list, flags);
  return key;
}

void ShowNumberList(int row, int column, const uint16_t* list, uint32_t flags) {
  char text[kNumberListWidth + 1];
  ListText(list, text);
  PutText(list[0] == 0 ? "NONE" : text, row, column, kNumberListWidth, ' ', DisplayFlags(flags));
}

}  // namespace console
