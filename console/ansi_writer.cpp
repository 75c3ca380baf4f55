#include "console/ansi_writer.h"

#include <cstdio>

#include "console/console_backend.h"
#include "console/cp437.h"

namespace console {
namespace {

// Blank stretches at least this long are erased rather than written.
constexpr int kShortestErase = 8;
constexpr unsigned char kNormalAttribute = 0x17;  // plain output: white on blue

// Console colour numbers (bit 0 blue, bit 1 green, bit 2 red, bit 3 bright)
// to ANSI colour numbers (bit 0 red, bit 1 green, bit 2 blue).
int AnsiColour(int console_colour) {
  int low = console_colour & 7;
  return ((low & 1) << 2) | (low & 2) | ((low & 4) >> 2);
}

}  // namespace

std::string AnsiWriter::AttributeSequence(unsigned char attribute) const {
  int foreground = attribute & 0x0F;
  int background = (attribute >> 4) & 0x0F;
  char sequence[48];
  bool bright_foreground = (foreground & 8) != 0;
  bool bright_background = (background & 8) != 0;
  if (eight_colours_) {
    std::snprintf(sequence, sizeof sequence, "\x1b[0;%s%d;%dm", bright_foreground ? "1;" : "",
                  30 + AnsiColour(foreground), 40 + AnsiColour(background));
  } else {
    std::snprintf(sequence, sizeof sequence, "\x1b[0;%d;%dm",
                  (bright_foreground ? 90 : 30) + AnsiColour(foreground),
                  (bright_background ? 100 : 40) + AnsiColour(background));
  }
  return sequence;
}

void AnsiWriter::Forget() {
  scroll_region_set_ = false;
  row_ = column_ = -1;
  attribute_ = -1;
  cursor_visible_ = -1;
}

void AnsiWriter::MoveTo(int row, int column) {
  if (row == row_ && column == column_) return;
  char sequence[32];
  if (row == row_) {
    std::snprintf(sequence, sizeof sequence, "\x1b[%dG", column + 1);
  } else {
    std::snprintf(sequence, sizeof sequence, "\x1b[%d;%dH", row + 1, column + 1);
  }
  output_ += sequence;
  row_ = row;
  column_ = column;
}

void AnsiWriter::SetAttribute(unsigned char attribute) {
  if (attribute == attribute_) return;
  output_ += AttributeSequence(attribute);
  attribute_ = attribute;
}

void AnsiWriter::PutCharacter(unsigned char character) {
  output_ += Cp437ToUtf8(character);
  // Autowrap is off: after the last column the cursor stays put.
  ++column_;
  if (column_ >= kConsoleWidth) row_ = column_ = -1;
}

void AnsiWriter::PlainLineFeed(int& row, int column) {
  if (row < kConsoleRows - 1) {
    // Output is raw (no CR added to LF): a line feed moves straight down.
    if (row_ == row && column_ >= 0) {
      output_ += '\n';
      ++row_;
    }
    ++row;
    return;
  }
  // The last row: a line feed there scrolls the region (which a terminal
  // taller than 25 rows needs, so the console's 25 rows scroll on their own).
  if (!scroll_region_set_) {
    output_ += "\x1b[1;25r";  // also homes the cursor
    scroll_region_set_ = true;
    row_ = column_ = 0;
  }
  MoveTo(row, column);
  SetAttribute(kNormalAttribute);  // the new row takes the background in force
  output_ += '\n';
}

void AnsiWriter::Plain(const unsigned char* bytes, int count, int& row, int& column) {
  row = row < 0 ? 0 : (row >= kConsoleRows ? kConsoleRows - 1 : row);
  column = column < 0 ? 0 : (column >= kConsoleWidth ? kConsoleWidth - 1 : column);
  for (int i = 0; i < count; ++i) {
    unsigned char byte = bytes[i];
    if (byte == '\r') {
      column = 0;
    } else if (byte == '\n') {
      PlainLineFeed(row, column);
    } else if (byte == '\b') {
      if (column > 0) --column;
    } else if (byte >= 0x20) {
      if (row == row_ && column == 0 && column_ > 0) {
        output_ += '\r';  // shorter than a move
        column_ = 0;
      }
      MoveTo(row, column);
      SetAttribute(kNormalAttribute);
      PutCharacter(byte);
      if (++column == kConsoleWidth) {
        column = 0;
        PlainLineFeed(row, column);
      }
    }
  }
}

void AnsiWriter::HideCursor() {
  if (cursor_visible_ == 0) return;
  output_ += "\x1b[?25l";
  cursor_visible_ = 0;
}

void AnsiWriter::ShowCursorAt(int row, int column) {
  if (row < 0 || row >= kConsoleRows || column < 0 || column >= kConsoleWidth) {
    HideCursor();
    return;
  }
  MoveTo(row, column);
  if (cursor_visible_ == 1) return;
  output_ += "\x1b[?25h";
  cursor_visible_ = 1;
}

void AnsiWriter::Cells(int row, int column, const unsigned char* characters, int count,
                       unsigned char attribute) {
  if (row < 0 || row >= kConsoleRows || column >= kConsoleWidth || count <= 0) return;
  if (column < 0) {
    characters -= column;
    count += column;
    column = 0;
  }
  if (column + count > kConsoleWidth) count = kConsoleWidth - column;
  if (count <= 0) return;
  HideCursor();  // drawing with the cursor shown makes it flicker across the screen
  MoveTo(row, column);
  SetAttribute(attribute);
  for (int i = 0; i < count; ++i) PutCharacter(characters[i]);
}

void AnsiWriter::Fill(int row, int column, unsigned char character, int count,
                      unsigned char attribute) {
  int cell = row * kConsoleWidth + column;
  if (cell < 0) {
    count += cell;
    cell = 0;
  }
  unsigned char line[kConsoleWidth];
  for (unsigned char& c : line) c = character;
  while (count > 0 && cell < kConsoleCells) {
    int in_row = kConsoleWidth - cell % kConsoleWidth;
    int here = count < in_row ? count : in_row;
    if (character == ' ' && here >= kShortestErase) {
      // Erasing characters fills them with the background colour in force,
      // in a few bytes instead of one per cell; the cursor stays where it is.
      HideCursor();
      MoveTo(cell / kConsoleWidth, cell % kConsoleWidth);
      SetAttribute(attribute);
      char sequence[16];
      std::snprintf(sequence, sizeof sequence, "\x1b[%dX", here);
      output_ += sequence;
    } else {
      Cells(cell / kConsoleWidth, cell % kConsoleWidth, line, here, attribute);
    }
    cell += here;
    count -= here;
  }
}

}  // namespace console
