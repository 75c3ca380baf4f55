#include "quillet/register_screen.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "console/line_editor.h"
#include "console/screen.h"
#include "console/windows.h"

namespace quillet {
namespace {

using namespace console;

constexpr int kFirstDataRow = 5;
constexpr uint32_t kStatusOffset = 8192;
constexpr int kCyclePeriodMs = 10;  // at most one refresh cycle per 10 ms

enum Column { kRegisterColumn = 1, kHexColumn, kUnsignedColumn, kSignedColumn };
constexpr int kFieldColumn[] = {0, 1, 9, 15, 23};

struct HelpLine {
  int row;
  const char* text;
};
const HelpLine kHelpLines[] = {
    {6, "   Sy/Max Register Viewer"},
    {8, "Up and Down arrows to select register,"},
    {9, "Page Up and Page Down to change by 10,"},
    {10, "Left and Right arrows to select mode,"},
    {11, "0..9, A..F to enter new value,"},
    {12, "Enter to update without moving,"},
    {13, "F10 to acknowledge error,"},
    {15, "Escape to exit."},
};

// Shared with the wait callback, which runs inside link operations.
struct ScreenState {
  bool key_waiting = false;
  int spinner = 0;  // kept for the whole run
  bool read_only_shown = false;
};
ScreenState state;

// A key found while the link or the page was busy goes back into the
// type-ahead ring for the key handling, and marks that a key is waiting.
void PutBackKey(int key) {
  if (key == 0) return;
  char text[2] = {static_cast<char>(key), '\0'};
  StuffKeys(text);
  state.key_waiting = true;
}

class RegisterPage {
 public:
  explicit RegisterPage(const RunOptions& options)
      : o_(options),
        count_(static_cast<int>(options.register_count)),
        first_(static_cast<int32_t>(options.start_register)) {}

  void Run();

 private:
  int LastRow() const { return kFirstDataRow + count_ - 1; }
  int32_t RegisterOnRow(int row) const { return first_ + row - kFirstDataRow; }
  int CellAttribute(int row, int column) const {
    return row == cursor_row_ && column == selected_ ? kBright : kNormal;
  }

  void DrawFrame();
  void RefreshCycle();
  bool KeyPending();
  void DrawRegisterNumber(int row);
  void DrawValues(int row);
  void DrawErrorRows();
  void ReadStatusWords();
  bool ReadPage(uint16_t* words);
  void WriteRegister(int32_t reg, uint16_t value);
  int HandleKey();
  void EditRegisterNumber(const char* text);
  void HoldPageInRange();

  const RunOptions& o_;
  int count_;
  int32_t first_;
  int cursor_row_ = kFirstDataRow;
  int selected_ = kHexColumn;
  uint16_t values_[20] = {};
  uint16_t status_[20] = {};
};

void RegisterPage::DrawFrame() {
  ClearToEos(4, 1);
  PutText(o_.status_polling_suppressed ? "REGSTR  HEX   UNSIGN  SIGNED      "
                                       : "REGSTR  HEX   UNSIGN  SIGNED  STAT",
          4, 1, 0, ' ', kInverse);
  for (const HelpLine& line : kHelpLines) PutText(line.text, line.row, 40, 0, ' ', kNormal);
}

// A key found while the page is drawn is put back for the key handling and
// stops the drawing: the user is answered before the page is complete.
bool RegisterPage::KeyPending() {
  if (!state.key_waiting) PutBackKey(ReadKey(0));
  return state.key_waiting;
}

void RegisterPage::DrawRegisterNumber(int row) {
  int32_t reg = RegisterOnRow(row);
  if (o_.hex_register_numbers)
    PrintAt(" %04X ", row, 1, 8, ' ', CellAttribute(row, kRegisterColumn), reg);
  else
    PrintAt("%6d", row, 1, 8, ' ', CellAttribute(row, kRegisterColumn), reg);
}

void RegisterPage::DrawValues(int row) {
  uint16_t value = values_[row - kFirstDataRow];
  DrawRegisterNumber(row);
  PrintAt("%04X", row, 9, 6, ' ', CellAttribute(row, kHexColumn), value);
  PrintAt("%6u  %6d", row, 15, 8, ' ', CellAttribute(row, kUnsignedColumn), value,
          static_cast<int16_t>(value));
  PrintAt("%6d", row, 23, 8, ' ', CellAttribute(row, kSignedColumn),
          static_cast<int>(static_cast<int16_t>(value)));
}

void RegisterPage::DrawErrorRows() {
  for (int row = kFirstDataRow; row <= LastRow(); ++row) {
    DrawRegisterNumber(row);
    PutText("ERROR", row, 9, 20, ' ', row == cursor_row_ ? kBright : kNormal);
  }
}

bool RegisterPage::ReadPage(uint16_t* words) {
  if (o_.mode_3x)
    return linklib::Read3XRegisters(o_.link, static_cast<uint16_t>(o_.file_number_6x), first_,
                                    count_, words);
  if (o_.mode_6x)
    return linklib::ReadFileRecords(o_.link, static_cast<uint16_t>(o_.file_number_6x), first_,
                                    count_, words);
  return linklib::ReadRegisters(o_.link, first_, count_, words);
}

void RegisterPage::WriteRegister(int32_t reg, uint16_t value) {
  if (o_.mode_3x) {
    if (!state.read_only_shown) {
      state.read_only_shown = true;
      ShowError("3X input registers are read-only.");
    }
    return;
  }
  // A failed write is not reported: the next read shows what the register holds.
  if (o_.mode_6x)
    linklib::WriteFileRecords(o_.link, static_cast<uint16_t>(o_.file_number_6x), reg, 1, &value);
  else
    linklib::WriteRegisters(o_.link, reg, 1, &value);
}

void RegisterPage::ReadStatusWords() {
  if (linklib::ReadRegisters(o_.link, first_ + kStatusOffset, count_, status_)) {
    for (int row = kFirstDataRow; row <= LastRow(); ++row)
      PrintAt("%04X", row, 31, 4, ' ', kNormal, status_[row - kFirstDataRow]);
    return;
  }
  for (int row = kFirstDataRow; row <= LastRow(); ++row)
    PutText("----", row, 31, 4, ' ', row == cursor_row_ ? kBright : kNormal);
  if (o_.trap_on_error) ShowError(linklib::LinkMessage(o_.link));
  ShowModuleIdentification(o_);
}

void RegisterPage::RefreshCycle() {
  if (ReadPage(values_)) {
    for (int row = kFirstDataRow; row <= LastRow(); ++row) {
      if (KeyPending()) break;
      DrawValues(row);
    }
    PutText("", 24, 40, 40, ' ', kNormal);
  } else if (!state.key_waiting) {
    DrawErrorRows();
    if (o_.trap_on_error)
      ShowError(linklib::LinkMessage(o_.link));
    else
      PutText(linklib::LinkMessage(o_.link), 24, 40, 40, ' ', kNormal);
    ShowModuleIdentification(o_);
  }
  if (!state.key_waiting && !o_.status_polling_suppressed && !o_.mode_3x && !o_.mode_6x)
    ReadStatusWords();
}

void RegisterPage::EditRegisterNumber(const char* text) {
  int64_t entered = o_.hex_register_numbers ? (std::strtoul(text, nullptr, 16) & 0xFFFF)
                                            : std::strtoll(text, nullptr, 10);
  int64_t first = static_cast<int64_t>(first_) + entered - RegisterOnRow(cursor_row_);
  int64_t highest = o_.highest_register;
  first_ = static_cast<int32_t>(first < 1 ? 1 : first > highest ? highest : first);
}

// Returns the key that ended the edit of the selected cell.
int RegisterPage::HandleKey() {
  int key = GetKey();
  char first_key[2] = {static_cast<char>(key), '\0'};
  StuffKeys(first_key);
  bool typed_value = key < 128 && std::isxdigit(key);

  uint16_t value = values_[cursor_row_ - kFirstDataRow];
  char text[16];
  const char* allowed = "0-9A-F";
  uint32_t flags = kBright | kEditStartFromText | kEditReplaceOnFirstKey | kEditCapitals;
  switch (selected_) {
    case kRegisterColumn:
      if (o_.hex_register_numbers) {
        std::snprintf(text, sizeof text, "%04X", RegisterOnRow(cursor_row_) & 0xFFFF);
      } else {
        std::snprintf(text, sizeof text, "%d", RegisterOnRow(cursor_row_));
        allowed = "0-9";
        flags &= ~kEditCapitals;
      }
      break;
    case kHexColumn:
      std::snprintf(text, sizeof text, "%04X", value);
      break;
    case kUnsignedColumn:
      std::snprintf(text, sizeof text, "%u", value);
      allowed = "0-9";
      break;
    default:
      std::snprintf(text, sizeof text, "%d", value);  // 65535, not -1, for 0xFFFF
      allowed = "-0-9";
      break;
  }
  const char exit_keys[] = {kKeyEnter,
                            kKeyEscape,
                            static_cast<char>(kKeyDown),
                            static_cast<char>(kKeyUp),
                            static_cast<char>(kKeyLeft),
                            static_cast<char>(kKeyRight),
                            static_cast<char>(kKeyPageDown),
                            static_cast<char>(kKeyPageUp),
                            static_cast<char>(kKeyHome),
                            '\0'};
  key = EditLine(text, cursor_row_, kFieldColumn[selected_], 6, ' ', allowed, exit_keys, flags);

  uint16_t edited = 0;
  if (selected_ == kHexColumn) edited = static_cast<uint16_t>(std::strtoul(text, nullptr, 16));
  if (selected_ == kUnsignedColumn)
    edited = static_cast<uint16_t>(std::strtoull(text, nullptr, 10));
  if (selected_ == kSignedColumn) edited = static_cast<uint16_t>(std::strtoll(text, nullptr, 10));
  if (selected_ == kRegisterColumn) {
    EditRegisterNumber(text);
    typed_value = false;  // a register number is never written anywhere
  } else if (typed_value) {
    WriteRegister(RegisterOnRow(cursor_row_), edited);
  }

  int step = (count_ + 1) / 2;
  int scroll = count_ > 3 ? 3 : 1;
  switch (key) {
    case kKeyDown:
      if (++cursor_row_ > LastRow()) {
        cursor_row_ -= scroll;
        first_ += scroll;
      }
      break;
    case kKeyUp:
      if (--cursor_row_ < kFirstDataRow) {
        cursor_row_ += scroll;
        first_ -= scroll;
        if (first_ < 1) {
          first_ = 1;
          cursor_row_ = kFirstDataRow;
        }
      }
      break;
    case kKeyLeft:
      if (selected_ > kRegisterColumn) --selected_;
      break;
    case kKeyRight:
      if (selected_ < kSignedColumn) ++selected_;
      break;
    case kKeyPageDown:
      first_ += step;
      break;
    case kKeyPageUp:
      first_ -= step;
      break;
    case kKeyHome:
      first_ = 1;
      cursor_row_ = kFirstDataRow;
      break;
    case kKeyEnter:
      if (selected_ != kRegisterColumn && !typed_value)
        WriteRegister(RegisterOnRow(cursor_row_), edited);
      break;
    default:
      break;
  }
  HoldPageInRange();
  return key;
}

// Keeps the page within 1..highest register; the cursor stays on the same
// register where it can.
void RegisterPage::HoldPageInRange() {
  int32_t highest = static_cast<int32_t>(o_.highest_register);
  if (first_ < 1) {
    first_ = 1;
  } else if (first_ + count_ - 1 > highest) {
    int32_t top = highest - count_ + 1;
    cursor_row_ += first_ - top;
    first_ = top;
    if (cursor_row_ < kFirstDataRow) cursor_row_ = kFirstDataRow;
    if (cursor_row_ > LastRow()) cursor_row_ = LastRow();
  }
}

void RegisterPage::Run() {
  DrawFrame();
  while (true) {
    state.key_waiting = false;
    while (!state.key_waiting) {
      RefreshCycle();
      // Pace the cycles: a fast device is not flooded, a key is answered at once.
      if (!state.key_waiting) PutBackKey(ReadKeyWithin(kCyclePeriodMs));
    }
    if (HandleKey() == kKeyEscape) break;
  }
  ClearToEos(4, 1);
}

}  // namespace

void RunRegisterScreen(const RunOptions& options) {
  RegisterPage page(options);
  page.Run();
}

uint32_t ScreenWaitCallback(uint32_t) {
  int key = ReadKey(0);
  if (key != 0) {
    PutBackKey(key);
    if (key == kKeyEscape) {
      PutText("Exiting...", 10, 20, 40, ' ', kInverseRed);
      return 0;
    }
    return 1;
  }
  static const char kSpinner[] = "-\\|/";
  state.spinner = (state.spinner + 1) % 4;
  char spin[2] = {kSpinner[state.spinner], '\0'};
  PutText(spin, 1, 80, 1, ' ', kNormal);
  return 1;
}

void ShowModuleIdentification(const RunOptions& options) {
  if (options.modbus_mode != ModbusMode::None) return;
  uint16_t marker = 0;
  if (!linklib::ReadRegisters(options.link, 8188, 1, &marker) || marker == 0) {
    PutText("", 3, 60, 20, ' ', kNormal);
    return;
  }
  if ((marker & 0xFFF0) != 0x9990) {
    PrintAt("Model %d", 3, 60, 20, ' ', kBright, marker);
    return;
  }
  uint16_t words[11];
  if (!linklib::ReadRegisters(options.link, 8177, 11, words)) {
    PutText("", 3, 60, 20, ' ', kNormal);
    return;
  }
  char name[21] = {};
  for (int i = 0, n = 0; i < 10; ++i) {
    name[n++] = static_cast<char>(words[i] >> 8);
    name[n++] = static_cast<char>(words[i] & 0xFF);
  }
  PutText(name, 3, 60, 20, ' ', kBright);  // a zero byte ends the text
}

void ResetReadOnlyNotice() { state.read_only_shown = false; }

}  // namespace quillet
