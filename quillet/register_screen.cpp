#include "quillet/register_screen.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "console/line_editor.h"
#include "console/screen.h"
#include "console/windows.h"
#include "register_page/key_watch.h"
#include "register_page/number_forms.h"
#include "register_page/paced_refresh.h"
#include "register_page/page_position.h"

namespace quillet {
namespace {

using namespace console;
using registerpage::kFirstDataRow;

constexpr uint32_t kStatusOffset = 8192;
constexpr int kStatusColumn = 31;

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

const char kExitKeys[] = {kKeyEnter,
                          kKeyEscape,
                          static_cast<char>(kKeyDown),
                          static_cast<char>(kKeyUp),
                          static_cast<char>(kKeyLeft),
                          static_cast<char>(kKeyRight),
                          static_cast<char>(kKeyPageDown),
                          static_cast<char>(kKeyPageUp),
                          static_cast<char>(kKeyHome),
                          '\0'};

bool read_only_shown = false;  // kept for the whole run

void ShowExiting() { PutText("Exiting...", 10, 20, 40, ' ', kInverseRed); }

// What an edit of the selected cell gave.
struct EditResult {
  int key;           // the key that ended it
  bool typed_value;  // its first key was a hexadecimal digit
  uint16_t edited;   // the value typed (value cells)
};

class RegisterPage {
 public:
  explicit RegisterPage(const RunOptions& options) : o_(options) {
    page_.count = static_cast<int>(options.register_count);
    page_.first = static_cast<int32_t>(options.start_register);
    rules_.highest = static_cast<int32_t>(options.highest_register);
    rules_.scroll_by_three_from = 4;
  }

  void Run();

 private:
  int CellAttribute(int row, int column) const {
    return row == page_.cursor_row && column == selected_ ? kBright : kNormal;
  }

  void DrawFrame();
  void RefreshCycle();
  void DrawValues(int row);
  void DrawErrorRows();
  void ReadStatusWords();
  bool ReadPage(uint16_t* words);
  void WriteRegister(int32_t reg, uint16_t value);
  EditResult EditSelectedCell();
  void Navigate(const EditResult& edit);
  int HandleKey();

  const RunOptions& o_;
  registerpage::PagePosition page_;
  registerpage::PageRules rules_;
  int selected_ = registerpage::kHexCell;
  uint16_t values_[registerpage::kMaximumRegisterCount] = {};
  uint16_t status_[registerpage::kMaximumRegisterCount] = {};
};

void RegisterPage::DrawFrame() {
  ClearToEos(4, 1);
  PutText(o_.status_polling_suppressed ? "REGSTR  HEX   UNSIGN  SIGNED      "
                                       : "REGSTR  HEX   UNSIGN  SIGNED  STAT",
          4, 1, 0, ' ', kInverse);
  for (const HelpLine& line : kHelpLines) PutText(line.text, line.row, 40, 0, ' ', kNormal);
}

void RegisterPage::DrawValues(int row) {
  uint16_t value = values_[page_.Index(row)];
  registerpage::DrawRegisterNumber(page_.RegisterOnRow(row), o_.hex_register_numbers, row,
                                   CellAttribute(row, registerpage::kRegisterCell));
  for (int cell = registerpage::kHexCell; cell <= registerpage::kSignedCell; ++cell)
    registerpage::DrawValueCell(static_cast<registerpage::Cell>(cell), value, row,
                                CellAttribute(row, cell));
}

void RegisterPage::DrawErrorRows() {
  for (int row = kFirstDataRow; row <= page_.LastRow(); ++row) {
    registerpage::DrawRegisterNumber(page_.RegisterOnRow(row), o_.hex_register_numbers, row,
                                     CellAttribute(row, registerpage::kRegisterCell));
    PutText("ERROR", row, 9, 20, ' ', row == page_.cursor_row ? kBright : kNormal);
  }
}

bool RegisterPage::ReadPage(uint16_t* words) {
  if (o_.mode_3x)
    return linklib::Read3XRegisters(o_.link, static_cast<uint16_t>(o_.file_number_6x), page_.first,
                                    page_.count, words);
  if (o_.mode_6x)
    return linklib::ReadFileRecords(o_.link, static_cast<uint16_t>(o_.file_number_6x), page_.first,
                                    page_.count, words);
  return linklib::ReadRegisters(o_.link, page_.first, page_.count, words);
}

void RegisterPage::WriteRegister(int32_t reg, uint16_t value) {
  if (o_.mode_3x) {
    if (!read_only_shown) {
      read_only_shown = true;
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
  if (linklib::ReadRegisters(o_.link, page_.first + kStatusOffset, page_.count, status_)) {
    for (int row = kFirstDataRow; row <= page_.LastRow(); ++row)
      PrintAt("%04X", row, kStatusColumn, 4, ' ', kNormal, status_[page_.Index(row)]);
    return;
  }
  for (int row = kFirstDataRow; row <= page_.LastRow(); ++row)
    PutText("----", row, kStatusColumn, 4, ' ', row == page_.cursor_row ? kBright : kNormal);
  if (o_.trap_on_error) ShowError(linklib::LinkMessage(o_.link));
  ShowModuleIdentification(o_);
}

void RegisterPage::RefreshCycle() {
  if (ReadPage(values_)) {
    for (int row = kFirstDataRow; row <= page_.LastRow(); ++row) {
      if (registerpage::KeyPending()) break;
      DrawValues(row);
    }
    PutText("", 24, 40, 40, ' ', kNormal);
  } else if (registerpage::KeyClass() == registerpage::kNoKeyWaiting) {
    DrawErrorRows();
    if (o_.trap_on_error)
      ShowError(linklib::LinkMessage(o_.link));
    else
      PutText(linklib::LinkMessage(o_.link), 24, 40, 40, ' ', kNormal);
    ShowModuleIdentification(o_);
  }
  bool key_waiting = registerpage::KeyClass() != registerpage::kNoKeyWaiting;
  if (!key_waiting && !o_.status_polling_suppressed && !o_.mode_3x && !o_.mode_6x)
    ReadStatusWords();
}

// The key that woke the page is put back as the line editor's first key;
// whether it was a hexadecimal digit decides what is written later.
EditResult RegisterPage::EditSelectedCell() {
  int key = GetKey();
  char first_key[2] = {static_cast<char>(key), '\0'};
  StuffKeys(first_key);
  EditResult result{};
  result.typed_value = key < 128 && std::isxdigit(key);

  int32_t reg = page_.CursorRegister();
  registerpage::CellEdit edit =
      selected_ == registerpage::kRegisterCell
          ? registerpage::RegisterNumberEdit(reg, o_.hex_register_numbers)
          : registerpage::ValueEdit(static_cast<registerpage::Cell>(selected_),
                                    values_[page_.Index(page_.cursor_row)]);
  result.key = registerpage::RunCellEdit(edit, page_.cursor_row, kExitKeys);

  if (selected_ == registerpage::kRegisterCell) {
    registerpage::ShowRegisterOnCursorRow(
        page_, rules_, registerpage::ParseRegisterNumber(edit.text, o_.hex_register_numbers));
    result.typed_value = false;  // a register number is never written anywhere
  } else {
    result.edited = registerpage::ParseValue(static_cast<registerpage::Cell>(selected_), edit.text);
  }
  return result;
}

void RegisterPage::Navigate(const EditResult& edit) {
  registerpage::MoveByKey(page_, rules_, edit.key, selected_, registerpage::kSignedCell, 1);
  registerpage::HoldPageInRange(page_, rules_);
}

// Returns the key that ended the edit of the selected cell.
int RegisterPage::HandleKey() {
  int32_t reg = page_.CursorRegister();
  EditResult edit = EditSelectedCell();
  // A typed value is written whatever key ended the edit; Enter writes the
  // value shown even when nothing was typed.
  if (selected_ != registerpage::kRegisterCell && (edit.typed_value || edit.key == kKeyEnter))
    WriteRegister(reg, edit.edited);
  Navigate(edit);
  return edit.key;
}

void RegisterPage::Run() {
  DrawFrame();
  while (true) {
    registerpage::ClearKeyClass();
    registerpage::RefreshUntilKey([this] { RefreshCycle(); });
    if (HandleKey() == kKeyEscape) break;
  }
  ClearToEos(4, 1);
}

}  // namespace

void UseQuilletKeyWatch() {
  registerpage::KeyWatchStyle style;
  style.spinner = "-\\|/";
  style.turn_with_key = false;
  style.on_escape = ShowExiting;
  registerpage::SetKeyWatchStyle(style);
}

void RunRegisterScreen(const RunOptions& options) {
  UseQuilletKeyWatch();
  RegisterPage page(options);
  page.Run();
}

uint32_t ScreenWaitCallback(uint32_t user) { return registerpage::WatchKeysWhileWaiting(user); }

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

void ResetReadOnlyNotice() { read_only_shown = false; }

}  // namespace quillet
