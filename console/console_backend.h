// What the screen layer needs from a terminal: cells out, bytes in, a clock.
// Two implementations: TerminalBackend (the real terminal) and MemoryConsole
// (records what is written and plays scripted input, for tests).
#pragma once

#include <cstdint>
#include <string>

namespace console {

constexpr int kConsoleRows = 25;
constexpr int kConsoleWidth = 80;
constexpr int kConsoleCells = kConsoleRows * kConsoleWidth;  // 2000

class ConsoleBackend {
 public:
  virtual ~ConsoleBackend() = default;

  // Takes the console: 80 x 25 blank in white on blue, cursor hidden. On
  // failure returns false with the reason in message and changes nothing.
  virtual bool Open(std::string& message) = 0;
  // Gives the console back as it was before Open.
  virtual void Close() = 0;

  // Writes count code page 437 characters from row, column (0-based) in one
  // console attribute. Cells past column 80 are not shown.
  virtual void WriteCells(int row, int column, const unsigned char* characters, int count,
                          unsigned char attribute) = 0;
  // Fills count cells from row, column, running on into the next rows and
  // stopping at the end of the console.
  virtual void FillCells(int row, int column, unsigned char character, int count,
                         unsigned char attribute) = 0;
  // The visible cursor.
  virtual void PlaceCursor(int row, int column) = 0;
  virtual void SetCursorVisible(bool visible) = 0;
  virtual void Bell() = 0;
  // Plain terminal output from row, column (0-based), in white on blue: CR to
  // column 0, LF to the next row, BS one column back, a wrap after column 80,
  // a new row past the last scrolling the 25 rows up; other control bytes
  // show nothing. row and column are left where the next byte goes. The
  // default, for backends that only count or time what is written: the
  // characters as cells, without scrolling (the last row is written over).
  virtual void WritePlain(const unsigned char* bytes, int count, int& row, int& column) {
    for (int i = 0; i < count; ++i) {
      unsigned char byte = bytes[i];
      if (byte == '\r') {
        column = 0;
      } else if (byte == '\n') {
        if (row < kConsoleRows - 1) ++row;
      } else if (byte == '\b') {
        if (column > 0) --column;
      } else if (byte >= 0x20) {
        WriteCells(row, column, &byte, 1, 0x17);
        if (++column == kConsoleWidth) {
          column = 0;
          if (row < kConsoleRows - 1) ++row;
        }
      }
    }
  }
  // Sends what was written so far (before waiting for input).
  virtual void Flush() = 0;

  // Reads up to capacity input bytes, waiting at most timeout_ms (< 0: until
  // something arrives or the terminal needs a repaint). Returns the count, 0
  // when nothing came.
  virtual int ReadInput(unsigned char* buffer, int capacity, int timeout_ms) = 0;
  virtual std::int64_t NowMilliseconds() = 0;
  // True once after the terminal was resumed (SIGCONT) or resized: its
  // contents are lost and must be redrawn from the image.
  virtual bool TakeRepaintNotice() = 0;
  // Ctrl+Z: give the terminal back, stop until continued, take it again.
  virtual void Suspend() = 0;
  // Lends the terminal to another program (the text editor) until Retake;
  // what that program shows replaces ours, so Retake is followed by a repaint.
  virtual void Release() {}
  virtual void Retake() {}
};

}  // namespace console
