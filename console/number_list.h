// Number lists: up to 8 unsigned 16-bit numbers (Sy/Max routes), edited and
// shown as decimal numbers joined by ",".
#pragma once

#include <cstdint>

namespace console {

// Word 0 is the count (at most 8), words 1..count the numbers.
constexpr int kNumberListLimit = 8;
constexpr int kNumberListWords = kNumberListLimit + 1;
// The list is edited and shown over this many columns.
constexpr int kNumberListWidth = 31;

// Edits the list at row, column; Enter, Escape, Down and Up end the edit.
// Unless the key was Escape the list is read back from the text: every run of
// digits is one number (at most 8; numbers above 65535 become 65535), commas
// and blanks separate them. Returns the key.
int EditNumberList(int row, int column, uint16_t* list, uint32_t flags);
// The numbers joined by ",", or "NONE" for an empty list.
void ShowNumberList(int row, int column, const uint16_t* list, uint32_t flags);

}  // namespace console
