#include "console/memory_console.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "console/key_decoder.h"
#include "console/screen.h"

namespace console {

std::string KeyBytes(int key) {
  if (key >= kKeyF1 && key <= kKeyF4) return std::string("\x1bO") + char('P' + key - kKeyF1);
  if (key == kKeyF5) return "\x1b[15~";
  if (key >= kKeyF6 && key <= kKeyF10) return "\x1b[" + std::to_string(17 + key - kKeyF6) + "~";
  switch (key) {
    case kKeyUp:
      return "\x1b[A";
    case kKeyDown:
      return "\x1b[B";
    case kKeyRight:
      return "\x1b[C";
    case kKeyLeft:
      return "\x1b[D";
    case kKeyHome:
      return "\x1b[H";
    case kKeyEnd:
      return "\x1b[F";
    case kKeyInsertToggle:
      return "\x1b[2~";
    case kKeyCtrlEnd:
      return "\x1b[1;5F";
    case kKeyDelete:
      return "\x1b[3~";
    case kKeyPageUp:
      return "\x1b[5~";
    case kKeyPageDown:
      return "\x1b[6~";
    case kKeyBackspace:
      return "\x7f";
    case kKeyClearField:
      return "\x19";
    case kKeyEraseToEnd:
      return "\x04";
    case kKeyEraseToStart:
      return "\x15";
    case kKeyWordRight:
      return "\x06";
    case kKeyWordLeft:
      return "\x12";
    case kKeyCtrlEnter:
      return "\n";
    case kKeyEnter:
      return "\r";
    default:
      break;
  }
  if (key > 0 && key < 0x80) return std::string(1, static_cast<char>(key));
  return "";  // no terminal sends it
}

MemoryConsole::MemoryConsole() = default;

void MemoryConsole::Type(const std::string& bytes) {
  if (!bytes.empty()) script_.push_back(ScriptStep{bytes, 0, nullptr, {}});
}

void MemoryConsole::Gap(std::int64_t milliseconds) {
  if (milliseconds > 0) script_.push_back(ScriptStep{"", milliseconds, nullptr, {}});
}

void MemoryConsole::Hold(std::function<bool()> ready) {
  ScriptStep step;
  step.ready = std::move(ready);
  script_.push_back(std::move(step));
}

void MemoryConsole::TypeKeys(std::initializer_list<int> keys) {
  for (int key : keys) {
    Type(KeyBytes(key));
    if (key == kKeyEscape) Gap(KeyDecoder::kEscapeTimeoutMs * 2);
  }
}

bool MemoryConsole::ScriptDone() const {
  for (const ScriptStep& step : script_) {
    if (!step.bytes.empty() || step.ready) return false;
  }
  return true;
}

int MemoryConsole::CellsWritten() const {
  int total = 0;
  for (const Write& write : writes_) {
    if (!write.fill) total += static_cast<int>(write.characters.size());
  }
  return total;
}

const MemoryConsole::Cell& MemoryConsole::CellAt(int row, int column) const {
  row = std::clamp(row, 0, kConsoleRows - 1);
  column = std::clamp(column, 0, kConsoleWidth - 1);
  return cells_[row * kConsoleWidth + column];
}

std::string MemoryConsole::RowText(int row) const {
  std::string text;
  for (int column = 0; column < kConsoleWidth; ++column) {
    text += static_cast<char>(CellAt(row, column).character);
  }
  return text;
}

bool MemoryConsole::Open(std::string& /*message*/) {
  open_ = true;
  for (Cell& cell : cells_) cell = Cell{};
  cursor_visible_ = false;
  return true;
}

void MemoryConsole::Close() {
  open_ = false;
  cursor_visible_ = true;
}

void MemoryConsole::WriteCells(int row, int column, const unsigned char* characters, int count,
                               unsigned char attribute) {
  if (count <= 0) return;
  writes_.push_back(Write{row, column,
                          std::string(reinterpret_cast<const char*>(characters), count), attribute,
                          false});
  if (row < 0 || row >= kConsoleRows) return;
  for (int i = 0; i < count && column + i < kConsoleWidth; ++i) {
    if (column + i < 0) continue;
    cells_[row * kConsoleWidth + column + i] = Cell{characters[i], attribute};
  }
}

void MemoryConsole::FillCells(int row, int column, unsigned char character, int count,
                              unsigned char attribute) {
  if (count <= 0) return;
  writes_.push_back(
      Write{row, column, std::string(count, static_cast<char>(character)), attribute, true});
  int start = row * kConsoleWidth + column;
  for (int i = std::max(start, 0); i < start + count && i < kConsoleCells; ++i) {
    cells_[i] = Cell{character, attribute};
  }
}

void MemoryConsole::WritePlain(const unsigned char* bytes, int count, int& row, int& column) {
  if (count <= 0) return;
  plain_output_.append(reinterpret_cast<const char*>(bytes), count);
  row = std::clamp(row, 0, kConsoleRows - 1);
  column = std::clamp(column, 0, kConsoleWidth - 1);
  auto line_feed = [&] {
    if (row < kConsoleRows - 1) {
      ++row;
      return;
    }
    std::memmove(cells_, cells_ + kConsoleWidth, sizeof(Cell) * (kConsoleCells - kConsoleWidth));
    for (int i = kConsoleCells - kConsoleWidth; i < kConsoleCells; ++i) cells_[i] = Cell{};
  };
  for (int i = 0; i < count; ++i) {
    unsigned char byte = bytes[i];
    if (byte == '\r') {
      column = 0;
    } else if (byte == '\n') {
      line_feed();
    } else if (byte == '\b') {
      column = std::max(column - 1, 0);
    } else if (byte >= 0x20) {
      cells_[row * kConsoleWidth + column] = Cell{byte, 0x17};
      if (++column == kConsoleWidth) {
        column = 0;
        line_feed();
      }
    }
  }
}

void MemoryConsole::PlaceCursor(int row, int column) {
  cursor_row_ = row;
  cursor_column_ = column;
}

void MemoryConsole::SetCursorVisible(bool visible) { cursor_visible_ = visible; }

int MemoryConsole::ReadInput(unsigned char* buffer, int capacity, int timeout_ms) {
  std::int64_t waited = 0;
  while (!script_.empty()) {
    ScriptStep& step = script_.front();
    if (step.ready) {
      auto now = std::chrono::steady_clock::now();
      if (step.give_up == std::chrono::steady_clock::time_point{}) step.give_up = now + kHoldLimit;
      if (step.ready()) {
        script_.pop_front();
        continue;
      }
      if (now >= step.give_up) {
        std::fprintf(stderr, "MemoryConsole: a held step was given up\n");
        script_.pop_front();
        continue;
      }
      if (timeout_ms < 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));  // a waiting read: ask again
        continue;
      }
      now_ms_ += timeout_ms - waited;
      return 0;
    }
    if (!step.bytes.empty()) {
      int count = std::min<int>(capacity, static_cast<int>(step.bytes.size()));
      std::memcpy(buffer, step.bytes.data(), count);
      step.bytes.erase(0, count);
      if (step.bytes.empty()) script_.pop_front();
      return count;
    }
    std::int64_t left = timeout_ms < 0 ? step.gap_ms : timeout_ms - waited;
    if (step.gap_ms > left) {
      step.gap_ms -= left;
      now_ms_ += left;
      return 0;
    }
    now_ms_ += step.gap_ms;
    waited += step.gap_ms;
    script_.pop_front();
  }
  if (timeout_ms >= 0) {
    now_ms_ += timeout_ms - waited;
    return 0;
  }
  // A test that waits for a key it never scripted would hang: stop it loudly.
  std::fprintf(stderr, "MemoryConsole: a read waits for a key past the end of the script\n");
  std::abort();
}

bool MemoryConsole::TakeRepaintNotice() {
  bool notice = repaint_notice_;
  repaint_notice_ = false;
  return notice;
}

}  // namespace console
