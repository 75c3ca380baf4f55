// An in-memory console for tests and benchmarks: it keeps the 80 x 25 cells
// that were written, logs every write, and plays scripted input on a clock of
// its own (time passes only when a read waits for input that is not there).
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "console/console_backend.h"

namespace console {

class MemoryConsole : public ConsoleBackend {
 public:
  struct Cell {
    unsigned char character = ' ';
    unsigned char attribute = 0x17;
  };
  // One WriteCells call (FillCells calls are logged with fill = true).
  struct Write {
    int row = 0;
    int column = 0;
    std::string characters;
    unsigned char attribute = 0;
    bool fill = false;
  };

  MemoryConsole();

  // Script: bytes arrive in one read; a gap keeps input back for that long.
  void Type(const std::string& bytes);
  // Key codes as a terminal sends them (function and cursor keys as xterm
  // sequences, each followed by a pause so an Escape stands alone).
  void TypeKeys(std::initializer_list<int> keys);
  void Gap(std::int64_t milliseconds);
  // Holds the rest of the script back until ready() returns true (asked at
  // every read; reads get nothing meanwhile), for a program that must reach
  // a state first (bytes from a line shown, say). ready may also act (send
  // the line's next bytes) and return true. Given up after kHoldLimit.
  void Hold(std::function<bool()> ready);
  static constexpr std::chrono::seconds kHoldLimit{20};
  // No scripted bytes are left (gaps may be).
  bool ScriptDone() const;

  // What was written.
  const std::vector<Write>& Writes() const { return writes_; }
  int CellsWritten() const;  // characters of WriteCells calls only
  void ForgetWrites() { writes_.clear(); }
  const Cell& CellAt(int row, int column) const;  // 0-based
  std::string RowText(int row) const;             // 0-based
  int Bells() const { return bells_; }
  // Every byte given to WritePlain, in order.
  const std::string& PlainOutput() const { return plain_output_; }
  void ForgetPlainOutput() { plain_output_.clear(); }
  bool CursorVisible() const { return cursor_visible_; }
  int CursorRow() const { return cursor_row_; }
  int CursorColumn() const { return cursor_column_; }
  bool IsOpen() const { return open_; }
  // Makes the next TakeRepaintNotice true, as after SIGCONT.
  void NoteResume() { repaint_notice_ = true; }
  int Suspends() const { return suspends_; }

  bool Open(std::string& message) override;
  void Close() override;
  void WriteCells(int row, int column, const unsigned char* characters, int count,
                  unsigned char attribute) override;
  void FillCells(int row, int column, unsigned char character, int count,
                 unsigned char attribute) override;
  void PlaceCursor(int row, int column) override;
  void SetCursorVisible(bool visible) override;
  void Bell() override { ++bells_; }
  void WritePlain(const unsigned char* bytes, int count, int& row, int& column) override;
  void Flush() override {}
  int ReadInput(unsigned char* buffer, int capacity, int timeout_ms) override;
  std::int64_t NowMilliseconds() override { return now_ms_; }
  bool TakeRepaintNotice() override;
  void Suspend() override { ++suspends_; }
  void Release() override {
    released_ = true;
    ++releases_;
  }
  void Retake() override { released_ = false; }
  bool IsReleased() const { return released_; }
  int Releases() const { return releases_; }

 private:
  struct ScriptStep {
    std::string bytes;        // delivered in one read, when not empty
    std::int64_t gap_ms = 0;  // otherwise: time before the next step
    std::function<bool()> ready;  // or: held until this is true
    std::chrono::steady_clock::time_point give_up{};
  };

  Cell cells_[kConsoleCells];
  std::vector<Write> writes_;
  std::string plain_output_;
  std::deque<ScriptStep> script_;
  std::int64_t now_ms_ = 1000;
  int bells_ = 0;
  int suspends_ = 0;
  int cursor_row_ = 0;
  int cursor_column_ = 0;
  bool cursor_visible_ = true;
  bool open_ = false;
  bool repaint_notice_ = false;
  bool released_ = false;
  int releases_ = 0;
};

// The bytes an xterm sends for a key code (plain characters as themselves).
std::string KeyBytes(int key);

}  // namespace console
