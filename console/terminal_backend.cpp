#include "console/terminal_backend.h"

#include <cstdlib>
#include <cstring>

#include "console/screen.h"

namespace console {
namespace {

// Alternate screen, autowrap off (so the last cell of the screen does not
// scroll it), xterm's modifyOtherKeys (Ctrl-Enter as CSI 27;5;13~), cursor
// hidden while drawing.
const char kEnterBytes[] = "\x1b[?1049h\x1b[?7l\x1b[>4;1m\x1b[?25l";
// Clearing first matters where there is no alternate screen (the Linux console);
// the scrolling region plain output may have set goes back to the whole screen.
const char kLeaveBytes[] = "\x1b[0m\x1b[r\x1b[H\x1b[2J\x1b[>4m\x1b[?7h\x1b[?25h\x1b[?1049l";
constexpr std::size_t kFlushThreshold = 16384;

bool TerminalHasEightColours() {
  const char* term = std::getenv("TERM");
  return term != nullptr && std::strncmp(term, "linux", 5) == 0;
}

}  // namespace

bool TerminalBackend::Open(std::string& message) {
  if (!terminal_.Open(kConsoleWidth, kConsoleRows, kEnterBytes, kLeaveBytes, message)) {
    return false;
  }
  writer_ = AnsiWriter(TerminalHasEightColours());
  cursor_wanted_ = false;
  writer_.HideCursor();
  writer_.Fill(0, 0, ' ', kConsoleCells, kNormalConsoleAttribute);
  Flush();
  return true;
}

void TerminalBackend::Close() {
  if (!terminal_.IsOpen()) return;
  Flush();
  terminal_.Close();
}

void TerminalBackend::FlushWhenLarge() {
  if (writer_.Output().size() >= kFlushThreshold) Flush();
}

void TerminalBackend::WriteCells(int row, int column, const unsigned char* characters, int count,
                                 unsigned char attribute) {
  writer_.Cells(row, column, characters, count, attribute);
  FlushWhenLarge();
}

void TerminalBackend::FillCells(int row, int column, unsigned char character, int count,
                                unsigned char attribute) {
  writer_.Fill(row, column, character, count, attribute);
  FlushWhenLarge();
}

void TerminalBackend::PlaceCursor(int row, int column) {
  cursor_row_ = row;
  cursor_column_ = column;
}

void TerminalBackend::SetCursorVisible(bool visible) {
  cursor_wanted_ = visible;
  if (!visible) writer_.HideCursor();
}

void TerminalBackend::Bell() { writer_.Bell(); }

void TerminalBackend::WritePlain(const unsigned char* bytes, int count, int& row, int& column) {
  writer_.Plain(bytes, count, row, column);
  FlushWhenLarge();
}

void TerminalBackend::Flush() {
  if (cursor_wanted_) writer_.ShowCursorAt(cursor_row_, cursor_column_);
  std::string& output = writer_.Output();
  if (output.empty()) return;
  terminal_.Write(output.data(), output.size());
  output.clear();
}

int TerminalBackend::ReadInput(unsigned char* buffer, int capacity, int timeout_ms) {
  Flush();
  return terminal_.Read(buffer, capacity, timeout_ms);
}

bool TerminalBackend::TakeRepaintNotice() {
  if (!terminal_.TakeRepaintNotice()) return false;
  writer_.Forget();  // the terminal was handed back and taken again
  return true;
}

void TerminalBackend::Suspend() {
  Flush();
  terminal_.Suspend();
}

void TerminalBackend::Release() {
  Flush();
  terminal_.Release();
}

void TerminalBackend::Retake() {
  terminal_.Retake();
  writer_.Forget();  // the other program moved the cursor and changed colours
}

}  // namespace console
