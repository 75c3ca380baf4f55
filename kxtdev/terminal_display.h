// How the terminal emulator shows received bytes: printable bytes as
// themselves, every other byte as "<XX>" in upper-case hex, a line break
// before a hex form that would not fit in the 80 columns, and a CR followed
// by a line break (after its LF, or after 100 ms with nothing). Plain code
// over bytes and a clock: what is shown collects in a text that the caller
// writes to the console and to the capture file alike.
#pragma once

#include <cstdint>
#include <string>

namespace kxtdev {

class TerminalDisplay {
 public:
  static constexpr std::int64_t kCrWaitMs = 100;  // how long a CR waits for its LF

  // A byte received at now_ms.
  void Receive(unsigned char byte, std::int64_t now_ms);
  // Nothing came by now_ms: a CR whose wait is over ends its line.
  void Idle(std::int64_t now_ms);
  // A CR is waiting for the next byte, until CrDeadline().
  bool WaitingAfterCr() const { return waiting_after_cr_; }
  std::int64_t CrDeadline() const { return cr_deadline_ms_; }

  // The console column (1..80) where the next shown character lands.
  int column() const { return column_; }
  void set_column(int column) { column_ = column; }

  // What was shown since the last TakeShown.
  const std::string& Shown() const { return shown_; }
  std::string TakeShown();

 private:
  void ShowCharacter(unsigned char byte);
  void ShowHex(unsigned char byte);
  void ShowLineBreak();
  void AfterCr(unsigned char next);

  std::string shown_;
  int column_ = 1;
  bool waiting_after_cr_ = false;
  std::int64_t cr_deadline_ms_ = 0;
};

}  // namespace kxtdev
