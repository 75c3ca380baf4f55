// The console on the program's terminal: ANSI output through AnsiWriter,
// bytes in from platform::Terminal.
#pragma once

#include "console/ansi_writer.h"
#include "console/console_backend.h"
#include "platform/terminal.h"

namespace console {

class TerminalBackend : public ConsoleBackend {
 public:
  TerminalBackend() = default;
  ~TerminalBackend() override { Close(); }

  bool Open(std::string& message) override;
  void Close() override;
  void WriteCells(int row, int column, const unsigned char* characters, int count,
                  unsigned char attribute) override;
  void FillCells(int row, int column, unsigned char character, int count,
                 unsigned char attribute) override;
  void PlaceCursor(int row, int column) override;
  void SetCursorVisible(bool visible) override;
  void Bell() override;
  void WritePlain(const unsigned char* bytes, int count, int& row, int& column) override;
  void Flush() override;
  int ReadInput(unsigned char* buffer, int capacity, int timeout_ms) override;
  std::int64_t NowMilliseconds() override { return platform::Terminal::NowMilliseconds(); }
  bool TakeRepaintNotice() override;
  void Suspend() override;
  void Release() override;
  void Retake() override;

 private:
  void FlushWhenLarge();

  platform::Terminal terminal_;
  AnsiWriter writer_;
  bool cursor_wanted_ = false;
  int cursor_row_ = 0;
  int cursor_column_ = 0;
};

}  // namespace console
