#include "kxtdev/terminal_display.h"

#include <cstdio>
#include <utility>

namespace kxtdev {
namespace {

constexpr int kColumns = 80;
constexpr int kLastHexColumn = 77;  // "<XX>" from here still fits the row
constexpr unsigned char kCr = 0x0D;
constexpr unsigned char kLf = 0x0A;

bool Printable(unsigned char byte) { return byte >= 32 && byte <= 126; }

}  // namespace

std::string TerminalDisplay::TakeShown() {
  std::string shown;
  std::swap(shown, shown_);
  return shown;
}

void TerminalDisplay::ShowCharacter(unsigned char byte) {
  shown_ += static_cast<char>(byte);
  if (++column_ > kColumns) column_ -= kColumns;  // the console wrapped
}

void TerminalDisplay::ShowHex(unsigned char byte) {
  char form[5];
  std::snprintf(form, sizeof form, "<%02X>", byte);
  shown_ += form;
  column_ += 4;
}

void TerminalDisplay::ShowLineBreak() {
  shown_ += "\r\n";
  column_ = 1;
}

void TerminalDisplay::Receive(unsigned char byte, std::int64_t now_ms) {
  if (waiting_after_cr_) {
    waiting_after_cr_ = false;
    AfterCr(byte);
    return;
  }
  if (Printable(byte)) {
    ShowCharacter(byte);
    return;
  }
  if (column_ > kLastHexColumn) ShowLineBreak();
  ShowHex(byte);
  if (column_ > kColumns) {
    column_ -= kColumns;  // the form ran to the row's end and the console wrapped
    return;
  }
  if (byte == kCr) {
    waiting_after_cr_ = true;
    cr_deadline_ms_ = now_ms + kCrWaitMs;
  }
}

void TerminalDisplay::AfterCr(unsigned char next) {
  if (next == kLf) {
    if (column_ > kLastHexColumn) ShowLineBreak();
    ShowHex(kLf);
    ShowLineBreak();
    return;
  }
  ShowLineBreak();
  // DEL shows in hex too: as a character it would show nothing.
  if (Printable(next))
    ShowCharacter(next);
  else
    ShowHex(next);
}

void TerminalDisplay::Idle(std::int64_t now_ms) {
  if (!waiting_after_cr_ || now_ms < cr_deadline_ms_) return;
  waiting_after_cr_ = false;
  ShowLineBreak();
}

}  // namespace kxtdev
