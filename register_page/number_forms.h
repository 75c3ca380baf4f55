// The cells of a register page row and their number forms: how each cell is
// drawn, how its edit starts and what the edited text means.
#pragma once

#include <cstdint>

namespace registerpage {

enum Cell : int {
  kRegisterCell = 1,
  kHexCell = 2,
  kUnsignedCell = 3,
  kSignedCell = 4,
  kBinaryCell = 5,
};
// Screen column of each cell (index by Cell) and the width it is drawn in.
constexpr int kCellColumn[] = {0, 1, 9, 15, 23, 31};
constexpr int kCellWidth[] = {0, 8, 6, 8, 8, 21};
constexpr int kBinaryTextLength = 20;  // 16 bits, a blank after every fourth

// " %04X " in hexadecimal mode, else "%6d".
void DrawRegisterNumber(int32_t reg, bool hex, int row, int attribute);
// One value cell: HEX "%04X", UNSIGN "%6u" and two blanks, SIGNED "%6d" of
// the signed 16-bit value, BINARY the bits in groups of four.
void DrawValueCell(Cell cell, uint16_t value, int row, int attribute);
// The 16 bits, most significant first, a blank after every fourth (20
// characters and the terminator).
void BinaryText(uint16_t value, char (&text)[kBinaryTextLength + 1]);

// How the edit of a cell is set up.
struct CellEdit {
  char text[24];
  const char* allowed;
  int column;
  int width;
  uint32_t flags;  // line editor flags
};
// Bright, blank fill. Number cells start from their text and the first data
// key clears it (hexadecimal fields upper-case what is typed); the BINARY
// cell runs in overtype over its 19 characters.
CellEdit ValueEdit(Cell cell, uint16_t value);
CellEdit RegisterNumberEdit(int32_t reg, bool hex);
// Runs the edit on a row; returns the key that ended it.
int RunCellEdit(CellEdit& edit, int row, const char* exit_keys);

// The edited text of a value cell, low 16 bits kept (BINARY: the 0 and 1
// characters as a binary number, blanks skipped).
uint16_t ParseValue(Cell cell, const char* text);
// A register number: hexadecimal (low 16 bits) or decimal.
int64_t ParseRegisterNumber(const char* text, bool hex);

}  // namespace registerpage
