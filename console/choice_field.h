// Choice fields: one text out of a null-terminated list, chosen in place with
// the arrows, the blank and the yes/no letters.
#pragma once

#include <cstdint>

namespace console {

// Lets the user pick a text at row, column; *index holds the current choice
// (taken modulo the count) and receives the chosen one. Right and the blank
// move to the next choice and Left to the previous, wrapping round; "+", "Y",
// "S" (either case) move on and "-", "N" back, stopping at the ends. Returns
// the exit key that ended the choice.
int SelectChoice(int row, int column, const char* const* choices, uint16_t* index,
                 const char* exit_keys, uint32_t flags);
// Writes choice index over width, or "INVALID" when there is no such choice.
void ShowChoice(int row, int column, const char* const* choices, int index, int width,
                uint32_t flags);

}  // namespace console
