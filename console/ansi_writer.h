// Turns cell writes into ANSI/ECMA-48 bytes for a terminal, keeping track of
// where the terminal's cursor is and which colours are in force, so that it
// moves the cursor only where the next cell is not adjacent and changes the
// colours only where they change. Plain code: the bytes collect in a string.
#pragma once

#include <string>

namespace console {

class AnsiWriter {
 public:
  // eight_colours: the terminal has no bright colours of its own (the Linux
  // console); bright foregrounds are then bold.
  explicit AnsiWriter(bool eight_colours = false) : eight_colours_(eight_colours) {}

  // Code page 437 characters from row, column (0-based) in a console
  // attribute; cells past column 80 are dropped.
  void Cells(int row, int column, const unsigned char* characters, int count,
             unsigned char attribute);
  // count cells of one character, running on over rows, stopping at the end.
  void Fill(int row, int column, unsigned char character, int count, unsigned char attribute);
  // The visible cursor: shown at a place, or hidden.
  void ShowCursorAt(int row, int column);
  void HideCursor();
  void Bell() { output_ += '\a'; }
  // Plain terminal output from row, column (the rules of
  // ConsoleBackend::WritePlain); row and column follow it.
  void Plain(const unsigned char* bytes, int count, int& row, int& column);
  // The terminal's state is unknown (after it was handed back and taken
  // again): the next output sets position, colours and cursor anew.
  void Forget();

  // The SGR sequence of a console attribute, e.g. "\x1b[0;37;44m".
  std::string AttributeSequence(unsigned char attribute) const;

  std::string& Output() { return output_; }

 private:
  void MoveTo(int row, int column);
  void SetAttribute(unsigned char attribute);
  void PutCharacter(unsigned char character);
  void PlainLineFeed(int& row, int column);

  bool eight_colours_;
  std::string output_;
  int row_ = -1;  // where the terminal's cursor is; -1 unknown
  int column_ = -1;
  int attribute_ = -1;       // -1 unknown
  int cursor_visible_ = -1;  // -1 unknown
  bool scroll_region_set_ = false;  // plain output scrolls rows 1..25 only
};

}  // namespace console
