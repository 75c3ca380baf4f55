// The line editor: edits one text in place on one screen row within a fixed
// width, accepting the characters of an allowed set and ending on any key of an
// exit set, with insert and overtype, word movement and the editing keys.
#pragma once

#include <cstdint>

namespace console {

// A set of 256 character codes: bit c % 16 of word c / 16.
constexpr int kCharSetWords = 16;

// Builds a set from a spec that lists characters and ranges ("A-Z0-9",
// " -~"); a "-" at the very start or end stands for itself.
void BuildCharSet(const char* spec, uint16_t set[kCharSetWords]);
// Non-zero when character (0..255) is in the set.
int InCharSet(int character, const uint16_t set[kCharSetWords]);

// Line editor flags; the low bits are the display flags of PutText.
constexpr uint32_t kEditAttributeMask = 0x0007;
constexpr uint32_t kEditCentre = 0x0020;             // with kEditPad: centre the result
constexpr uint32_t kEditRightAlign = 0x0040;         // with kEditPad: right-align it
constexpr uint32_t kEditPad = 0x0080;                // pad the result with blanks to the width
constexpr uint32_t kEditMasked = 0x0100;             // show the fill character for each character
constexpr uint32_t kEditStartFromText = 0x0200;      // the buffer holds the starting text
constexpr uint32_t kEditLeaveWhenFull = 0x0400;      // a full text ends the edit as Enter
constexpr uint32_t kEditReplaceOnFirstKey = 0x0800;  // cursor at 0; first data key clears
constexpr uint32_t kEditCapitals = 0x1000;           // typed a..z become A..Z
constexpr uint32_t kEditBeepFirst = 0x2000;          // beep when the edit starts
constexpr uint32_t kEditQuiet = 0x4000;              // no beep for a rejected key or a full field
constexpr uint32_t kEditOvertype = 0x10000;          // overtype for this edit only

// The part of editor flags that PutText understands when a value is shown:
// attribute, alignment and capitals (not the beep, which belongs to the edit).
inline int DisplayFlags(uint32_t flags) {
  return static_cast<int>(flags &
                          (kEditAttributeMask | kEditCentre | kEditRightAlign | kEditCapitals));
}

// Edits buffer (at least width + 1 bytes) at row, column (1-based) over width
// cells, showing fill in the free cells. allowed_spec lists the characters
// that are entered, exit_keys the key codes that end the edit (a text of
// codes). Escape that is not an exit key clears the text and ends the edit.
// Returns the key that ended the edit; the buffer holds the result.
int EditLine(char* buffer, int row, int column, int width, char fill, const char* allowed_spec,
             const char* exit_keys, uint32_t flags);

}  // namespace console
