#include "console/file_selector.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "console/line_editor.h"
#include "console/screen.h"
#include "platform/directory.h"

namespace console {
namespace {

constexpr int kFirstRow = 14;
constexpr int kRowsPerColumn = 12;
constexpr int kColumnsPerPage = 8;
constexpr int kPageSize = kRowsPerColumn * kColumnsPerPage;  // 96
constexpr int kColumnStep = 10;

struct Entry {
  char name[kSelectedNameLimit + 1];  // as listed and shown: at most 8 characters
  bool directory;
  std::string path;  // a directory's whole name, to enter it even when its name was cut
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

void CopyCut(const char* text, size_t length, char* name) {
  length = std::min<size_t>(length, kSelectedNameLimit);
  std::memcpy(name, text, length);
  name[length] = '\0';
}

// Files that match the pattern, without their extension; with directories set,
// every subdirectory except "." (so ".." is there to go up). Sorted by name.
std::vector<Entry> BuildList(const char* pattern, bool directories) {
  std::vector<platform::DirectoryEntry> found;
  if (!platform::ListCurrentDirectory(found)) {
    // Entered but not readable: still offer the way back up.
    found.push_back({"..", true});
  }
  std::vector<Entry> list;
  for (const platform::DirectoryEntry& item : found) {
    Entry entry{};
    if (item.directory) {
      if (!directories || item.name == ".") continue;
      entry.directory = true;
      entry.path = item.name;
      CopyCut(item.name.data(), item.name.size(), entry.name);
    } else {
      if (!MatchPattern(pattern, item.name.c_str())) continue;
      size_t dot = item.name.rfind('.');
      size_t length = dot == std::string::npos ? item.name.size() : dot;
      if (length == 0) continue;  // ".STP" alone: no name to give back
      CopyCut(item.name.data(), length, entry.name);
    }
    list.push_back(std::move(entry));
  }
  std::stable_sort(list.begin(), list.end(),
                   [](const Entry& a, const Entry& b) { return std::strcmp(a.name, b.name) < 0; });
  return list;
}

void DrawEntry(const Entry& entry, int index, int flags) {
  int k = index % kPageSize;
  int row = kFirstRow + k % kRowsPerColumn;
  int column = 2 + kColumnStep * (k / kRowsPerColumn);
  if (!entry.directory) {
    PutText(entry.name, row, column, kSelectedNameLimit, ' ', flags);
    return;
  }
  PutText("[", row, column - 1, 1, ' ', kNormal);
  PutText(std::strcmp(entry.name, "..") == 0 ? " parent " : entry.name, row, column,
          kSelectedNameLimit, ' ', flags | kBright);
  PutText("]", row, column + kSelectedNameLimit, 1, ' ', kNormal);
}

// False, drawing nothing, when the page holds no entry.
bool DrawPage(const std::vector<Entry>& list, int page) {
  int first = page * kPageSize;
  if (page < 0 || first >= static_cast<int>(list.size())) return false;
  ClearToEos(kFirstRow, 1);
  int end = std::min<int>(first + kPageSize, static_cast<int>(list.size()));
  for (int index = first; index < end; ++index) DrawEntry(list[index], index, kNormal);
  return true;
}

void Finish(const char* name, char* result) {
  ClearToEos(kFirstRow, 1);
  CopyCut(name, std::strlen(name), result);
}

}  // namespace

int SelectFile(int field_row, int field_column, const char* pattern, char* result,
               int directories) {
  static const char kExitKeys[] = {kKeyEnter,
                                   kKeyEscape,
                                   static_cast<char>(kKeyRight),
                                   static_cast<char>(kKeyLeft),
                                   static_cast<char>(kKeyUp),
                                   static_cast<char>(kKeyDown),
                                   static_cast<char>(kKeyPageDown),
                                   static_cast<char>(kKeyPageUp),
                                   static_cast<char>(kKeyHome),
                                   static_cast<char>(kKeyEnd),
                                   '\0'};
  if (result == nullptr) return 0;
  if (pattern == nullptr) pattern = "*";
  for (;;) {
    std::vector<Entry> list = BuildList(pattern, directories != 0);
    const int count = static_cast<int>(list.size());
    int page = 0, column = 0, row = 0;
    if (!DrawPage(list, page)) ClearToEos(kFirstRow, 1);  // nothing to list: no old page left
    bool entered = false;
    while (!entered) {
      int selected = std::min(page * kPageSize + column * kRowsPerColumn + row, count - 1);
      if (selected >= 0) {
        column = (selected - page * kPageSize) / kRowsPerColumn;
        row = (selected - page * kPageSize) % kRowsPerColumn;
        DrawEntry(list[selected], selected, kInverseBright);
      }
      char field[kSelectedNameLimit + 1] = {};
      if (selected >= 0 && !list[selected].directory) {
        CopyCut(list[selected].name, std::strlen(list[selected].name), field);
      }
      int key = EditLine(field, field_row, field_column, kSelectedNameLimit, '.', "A-Z0-9",
                         kExitKeys, kEditStartFromText | kEditReplaceOnFirstKey | kEditCapitals);
      bool redrawn = false;
      switch (key) {
        case kKeyDown:
          if (row < kRowsPerColumn - 1) ++row;
          break;
        case kKeyUp:
          if (row > 0) --row;
          break;
        case kKeyLeft:
          if (column > 0) {
            --column;
          } else if (page > 0 && DrawPage(list, page - 1)) {
            --page;
            redrawn = true;
          }
          break;
        case kKeyRight:
          if (column < (count - page * kPageSize) / kRowsPerColumn) {
            if (column < kColumnsPerPage - 1) {
              ++column;
            } else if (DrawPage(list, page + 1)) {
              ++page;
              redrawn = true;
            }
          }
          break;
        case kKeyHome:
          column = 0;
          row = 0;
          break;
        case kKeyEnd:
          column = kColumnsPerPage - 1;
          row = kRowsPerColumn - 1;
          break;
        case kKeyPageDown:
          if (DrawPage(list, page + 1)) {
            ++page;
            redrawn = true;
            column = 0;
            row = 0;
          } else {
            column = kColumnsPerPage - 1;
            row = kRowsPerColumn - 1;
          }
          break;
        case kKeyPageUp:
          if (page == 0) {
            column = 0;
            row = 0;
          } else if (DrawPage(list, page - 1)) {
            --page;
            redrawn = true;
            column = kColumnsPerPage - 1;
            row = kRowsPerColumn - 1;
          }
          break;
        case kKeyEnter:
          if (field[0] != '\0') {
            Finish(field, result);
            return 1;
          }
          if (selected < 0) break;  // nothing listed, nothing typed
          if (!list[selected].directory) {
            Finish(list[selected].name, result);
            return 1;
          }
          // A directory that cannot be entered is listed again all the same.
          platform::ChangeDirectory(list[selected].path.c_str());
          entered = true;
          break;
        case kKeyEscape:
          ClearToEos(kFirstRow, 1);
          return 0;
        default:
          break;
      }
      if (!redrawn && !entered && selected >= 0) DrawEntry(list[selected], selected, kNormal);
    }
  }
}

namespace {

// kGiveUp: the rest of the pattern after a "*" failed at every place in the
// rest of the name, so no earlier "*" can succeed by starting later either.
// It keeps patterns with many stars from taking exponential time.
enum class Outcome { kMatch, kNoMatch, kGiveUp };

// "(" ranges ")": a run of digits whose value lies in one of the ranges.
bool MatchNumber(const char*& pattern, const char*& name) {
  if (!IsDigit(*name)) return false;
  uint32_t number = 0;
  name = ReadDecimal(name, &number);
  const char* p = pattern + 1;
  bool inside = false;
  for (;;) {
    uint32_t low = 0, high = 0;
    p = ReadDecimal(p, &low);
    high = low;
    if (*p == '-') {
      ++p;
      if (IsDigit(*p)) {
        p = ReadDecimal(p, &high);
      } else {
        high = UINT32_MAX;
      }
    }
    if (low <= number && number <= high) {
      inside = true;
      while (*p != '\0' && *p != ')') ++p;
      break;
    }
    if (*p != ',') break;
    ++p;
  }
  if (!inside || *p != ')') return false;
  pattern = p + 1;
  return true;
}

// "[" list "]": one character that is listed or lies in a listed range.
bool MatchListed(const char*& pattern, const char*& name) {
  if (*name == '\0') return false;
  const signed char c = static_cast<signed char>(*name);
  const char* p = pattern + 1;
  bool inside = false;
  while (*p != '\0' && *p != ']') {
    const signed char first = static_cast<signed char>(*p);
    if (p[1] == '-' && p[2] != '\0' && p[2] != ']') {
      inside = first <= c && c <= static_cast<signed char>(p[2]);
      p += 3;
    } else {
      inside = first == c;
      ++p;
    }
    if (inside) {
      while (*p != '\0' && *p != ']') ++p;
      break;
    }
  }
  if (!inside || *p != ']') return false;
  pattern = p + 1;
  ++name;
  return true;
}

Outcome Match(const char* pattern, const char* name) {
  for (;;) {
    if (*pattern == '\0') return *name == '\0' ? Outcome::kMatch : Outcome::kNoMatch;
    // A star is a wildcard even where the name holds a "*" itself.
    if (*pattern == '*') {
      while (*pattern == '*') ++pattern;
      if (*pattern == '\0') return Outcome::kMatch;
      for (;; ++name) {
        Outcome rest = Match(pattern, name);
        if (rest != Outcome::kNoMatch) return rest;
        if (*name == '\0') return Outcome::kGiveUp;
      }
    }
    if (*name != '\0' && *pattern == *name) {
      ++pattern;
      ++name;
      continue;
    }
    bool matched = false;
    switch (*pattern) {
      case '=':
        matched = *name != '\0';
        break;
      case '#':
        matched = IsDigit(*name);
        break;
      case '?':
        matched = IsLetter(*name);
        break;
      case '(':
        if (!MatchNumber(pattern, name)) return Outcome::kNoMatch;
        continue;
      case '[':
        if (!MatchListed(pattern, name)) return Outcome::kNoMatch;
        continue;
      default:
        break;
    }
    if (!matched) return Outcome::kNoMatch;
    ++pattern;
    ++name;
  }
}

}  // namespace

int MatchPattern(const char* pattern, const char* name) {
  if (pattern == nullptr || name == nullptr) return 0;
  return Match(pattern, name) == Outcome::kMatch ? 1 : 0;
}

const char* ReadDecimal(const char* text, uint32_t* value) {
  uint32_t number = 0;
  while (IsDigit(*text)) {
    uint32_t digit = static_cast<uint32_t>(*text - '0');
    // A run too long for 32 bits stands for the largest value, not a wrapped one.
    number = number > (UINT32_MAX - digit) / 10 ? UINT32_MAX : number * 10 + digit;
    ++text;
  }
  *value = number;
  return text;
}

}  // namespace console
