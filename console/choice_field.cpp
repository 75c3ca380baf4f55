#include "console/choice_field.h"

#include <cstring>

#include "console/line_editor.h"
#include "console/screen.h"

namespace console {
namespace {

int CountChoices(const char* const* choices) {
  int count = 0;
  while (choices != nullptr && choices[count] != nullptr) ++count;
  return count;
}

int LongestChoice(const char* const* choices, int count) {
  int longest = 0;
  for (int i = 0; i < count; ++i) {
    const int length = static_cast<int>(std::strlen(choices[i]));
    if (length > longest) longest = length;
  }
  return longest;
}

}  // namespace

int SelectChoice(int row, int column, const char* const* choices, uint16_t* index,
                 const char* exit_keys, uint32_t flags) {
  uint16_t exits[kCharSetWords];
  BuildCharSet(exit_keys, exits);
  const int count = CountChoices(choices);
  if (count == 0 || index == nullptr) {
    // Nothing to choose from: wait for an exit key and change nothing.
    for (;;) {
      const int key = GetKey();
      if (InCharSet(key, exits)) return key;
    }
  }
  const int width = LongestChoice(choices, count);
  int current = *index % count;
  int key = 0;
  for (;;) {
    PutText(choices[current], row, column, width, ' ', kInverse);
    key = GetKey();
    if (key == kKeyRight || key == ' ') {
      current = (current + 1) % count;
    } else if (key == kKeyLeft) {
      current = (current + count - 1) % count;
    } else if (key != 0 && std::strchr("+YySs", key) != nullptr) {
      if (current < count - 1) ++current;
    } else if (key != 0 && std::strchr("-Nn", key) != nullptr) {
      if (current > 0) --current;
    } else if (InCharSet(key, exits)) {
      break;
    }
  }
  PutText(choices[current], row, column, width, ' ', DisplayFlags(flags));
  *index = static_cast<uint16_t>(current);
  return key;
}

void ShowChoice(int row, int column, const char* const* choices, int index, int width,
                uint32_t flags) {
  const int count = CountChoices(choices);
  const char* text = index >= 0 && index < count ? choices[index] : "INVALID";
  PutText(text, row, column, width, ' ', DisplayFlags(flags));
}

}  // namespace console
