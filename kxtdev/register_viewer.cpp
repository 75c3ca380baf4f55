#include "kxtdev/register_viewer.h"

#include <cstdio>

#include "console/line_editor.h"
#include "console/screen.h"
#include "console/windows.h"
#include "kxtdev/configuration_screens.h"
#include "kxtdev/link_session.h"
#include "register_page/key_watch.h"
#include "register_page/number_forms.h"
#include "register_page/paced_refresh.h"
#include "register_page/page_position.h"

namespace kxtdev {
namespace {

using namespace console;
using registerpage::kFirstDataRow;

constexpr int32_t kHighestRegister = 8192;
constexpr uint32_t kStatusOffset = 8192;
constexpr int kStatusColumn = 54;
constexpr int kErrorRow = 25;

struct TextLine {
  int row;
  int column;
  const char* text;
  int attribute;
};
const TextLine kViewerTexts[] = {
    {4, 1, "REGSTR  HEX   UNSIGN  SIGNED         BINARY          STAT", kInverse},
    {6, 62, "  VLTR Sy/Max", kNormal},
    {7, 62, " Register Viewer", kNormal},
    {9, 62, "Press F2 for Help", kNormal},
    {9, 68, "F2", kBright},
};

const TextLine kHelpTexts[] = {
    {8, 40, "Up and Down arrows to select register,", kNormal},
    {9, 40, "Page Up and Page Down to change by 10,", kNormal},
    {10, 40, "Left and Right arrows to select radix,", kNormal},
    {11, 40, "0..9, A..F to enter new value,", kNormal},
    {12, 40, "ENTER to update without moving,", kNormal},
    {13, 40, "F10 to acknowledge error,", kNormal},
    {15, 40, "When on the BINARY field, use left", kNormal},
    {16, 40, "and right arrows to select the desired", kNormal},
    {17, 40, "bit and enter '0' or '1'.", kNormal},
    {18, 40, "F9 to change link setup", kNormal},
    {19, 40, "ESC to exit Register Viewer.", kNormal},
    {21, 40, "Press any key to close help window.", kNormal},
};

#define KEY(code) static_cast<char>(code)
const char kRegisterExitKeys[] = {KEY(kKeyEnter), KEY(kKeyEscape),   KEY(kKeyDown),
                                  KEY(kKeyUp),    KEY(kKeyLeft),     KEY(kKeyRight),
                                  KEY(kKeyF1),    KEY(kKeyPageDown), KEY(kKeyPageUp),
                                  KEY(kKeyHome),  KEY(kKeyF9),       '\0'};
const char kValueExitKeys[] = {
    KEY(kKeyEnter),    KEY(kKeyEscape), KEY(kKeyDown), KEY(kKeyUp), KEY(kKeyLeft), KEY(kKeyRight),
    KEY(kKeyPageDown), KEY(kKeyPageUp), KEY(kKeyHome), KEY(kKeyF9), '\0'};
// Left and Right move from bit to bit inside the BINARY field.
const char kBinaryExitKeys[] = {KEY(kKeyEnter),    KEY(kKeyEscape), KEY(kKeyDown), KEY(kKeyUp),
                                KEY(kKeyPageDown), KEY(kKeyPageUp), KEY(kKeyF9),   '\0'};
const char kPrintExitKeys[] = {KEY(kKeyEnter), KEY(kKeyEscape), '\0'};
#undef KEY

void DrawTexts(const TextLine* lines, size_t count) {
  for (size_t i = 0; i < count; ++i)
    PutText(lines[i].text, lines[i].row, lines[i].column, 0, ' ', lines[i].attribute);
}

// F2 while the viewer runs. The Enter put into the type-ahead ring wakes the
// page (an edit that ends at once) so that it is drawn again.
int ShowViewerHelp(int, int32_t) {
  Window* box = OpenBox(6, 38, 22, 79, "REGISTER VIEWER HELP");
  DrawTexts(kHelpTexts, sizeof kHelpTexts / sizeof kHelpTexts[0]);
  ReadQueuedKey(-1);  // any key, F2 included, only closes the window
  registerpage::ClearKeyClass();
  const char enter[] = {static_cast<char>(kKeyEnter), '\0'};
  StuffKeys(enter);
  CloseWindow(&box);
  return 0;
}

// The viewer's settings, corrected in the record before use.
void CorrectSettings(SetupRecord& setup) {
  if (setup.starting_register < 1 || setup.starting_register > kHighestRegister)
    setup.starting_register = 1;
  if (setup.screen_size < 1 || setup.screen_size > registerpage::kMaximumRegisterCount)
    setup.screen_size = registerpage::kMaximumRegisterCount;
  if (setup.priority != 0 || setup.connection_type == kConnectionModbusRtu ||
      setup.connection_type == kConnectionModbusAscii)
    setup.status_registers = kChoiceNo;
}

class Viewer {
 public:
  explicit Viewer(Session& session) : session_(session), setup_(session.setup) {}

  linklib::LinkHandle* Run();

 private:
  int CellAttribute(int row, int cell) const {
    return row == page_.cursor_row && cell == selected_ ? kBright : kNormal;
  }
  int CursorRowAttribute(int row, int other) const {
    return row == page_.cursor_row ? kBright : other;
  }
  bool Identifying() const { return setup_.identify_module == kChoiceYes; }

  void DrawFrame();
  void RefreshCycle();
  void DrawRow(int row);
  void DrawErrorRows();
  void DrawStatus();
  int EditSelectedCell(uint16_t remembered);
  void Act(int key);
  int HandleKey();

  Session& session_;
  SetupRecord& setup_;
  registerpage::PagePosition page_;
  registerpage::PageRules rules_;
  int selected_ = registerpage::kHexCell;
  uint16_t values_[registerpage::kMaximumRegisterCount] = {};
  uint16_t status_[registerpage::kMaximumRegisterCount] = {};
};

void Viewer::DrawFrame() {
  ClearToEos(4, 1);
  DrawTexts(kViewerTexts, sizeof kViewerTexts / sizeof kViewerTexts[0]);
}

void Viewer::DrawRow(int row) {
  uint16_t value = values_[page_.Index(row)];
  registerpage::DrawRegisterNumber(page_.RegisterOnRow(row), false, row,
                                   CellAttribute(row, registerpage::kRegisterCell));
  for (int cell = registerpage::kHexCell; cell <= registerpage::kBinaryCell; ++cell)
    registerpage::DrawValueCell(static_cast<registerpage::Cell>(cell), value, row,
                                CellAttribute(row, cell));
}

void Viewer::DrawErrorRows() {
  for (int row = kFirstDataRow; row <= page_.LastRow(); ++row) {
    registerpage::DrawRegisterNumber(page_.RegisterOnRow(row), false, row,
                                     CellAttribute(row, registerpage::kRegisterCell));
    PutText("ERROR", row, 9, 20, ' ', CursorRowAttribute(row, kRed));
    PutText("", row, registerpage::kCellColumn[registerpage::kBinaryCell],
            registerpage::kBinaryTextLength, ' ', kNormal);
  }
}

void Viewer::DrawStatus() {
  const char* shown = "    ";
  if (setup_.status_registers == kChoiceYes) {
    if (linklib::ReadRegisters(session_.link, page_.first + kStatusOffset, page_.count, status_)) {
      for (int row = kFirstDataRow; row <= page_.LastRow(); ++row)
        PrintAt("%04X", row, kStatusColumn, 4, ' ', kNormal, status_[page_.Index(row)]);
      return;
    }
    shown = "----";
  }
  for (int row = kFirstDataRow; row <= page_.LastRow(); ++row)
    PutText(shown, row, kStatusColumn, 4, ' ', CursorRowAttribute(row, kNormal));
}

void Viewer::RefreshCycle() {
  if (linklib::ReadRegisters(session_.link, page_.first, page_.count, values_)) {
    PutText("", kErrorRow, 40, 40, ' ', kNormal);
    for (int row = kFirstDataRow; row <= page_.LastRow(); ++row) {
      if (registerpage::KeyPending()) break;
      DrawRow(row);
    }
    if (registerpage::KeyClass() == registerpage::kNoKeyWaiting) DrawStatus();
    return;
  }
  if (registerpage::KeyClass() != registerpage::kNoKeyWaiting) {
    PutText(linklib::LinkMessage(session_.link), kErrorRow, 40, 40, ' ', kRed);
    return;
  }
  DrawErrorRows();
  if (ReportError(session_, linklib::LinkMessage(session_.link)) == 0) {
    // Escape in the error box ends the viewer.
    registerpage::SetKeyClass(registerpage::kNavigationKeyWaiting);
    const char escape[] = {static_cast<char>(kKeyEscape), '\0'};
    StuffKeys(escape);
  } else if (Identifying()) {
    CheckModule(session_, "");
  }
}

// Edits the selected cell with the waiting key as its first key; writes the
// register when the value changed, whatever key ended the edit.
int Viewer::EditSelectedCell(uint16_t remembered) {
  int32_t reg = page_.CursorRegister();
  if (selected_ == registerpage::kRegisterCell) {
    registerpage::CellEdit edit = registerpage::RegisterNumberEdit(reg, false);
    int key = registerpage::RunCellEdit(edit, page_.cursor_row, kRegisterExitKeys);
    registerpage::ShowRegisterOnCursorRow(page_, rules_,
                                          registerpage::ParseRegisterNumber(edit.text, false));
    return key;
  }
  auto cell = static_cast<registerpage::Cell>(selected_);
  const char* exit_keys = kValueExitKeys;
  if (cell == registerpage::kBinaryCell) {
    // The edit starts at the first bit: the waiting key goes back behind Home.
    int first_key = GetKey();
    const char keys[] = {static_cast<char>(kKeyHome), static_cast<char>(first_key), '\0'};
    StuffKeys(keys);
    exit_keys = kBinaryExitKeys;
  }
  registerpage::CellEdit edit = registerpage::ValueEdit(cell, remembered);
  int key = registerpage::RunCellEdit(edit, page_.cursor_row, exit_keys);
  uint16_t edited = registerpage::ParseValue(cell, edit.text);
  // A failed write is not reported: the next read shows what the register holds.
  if (edited != remembered) linklib::WriteRegisters(session_.link, reg, 1, &edited);
  return key;
}

void Viewer::Act(int key) {
  bool moved = registerpage::MoveByKey(page_, rules_, key, selected_, registerpage::kBinaryCell,
                                       setup_.starting_register);
  if (!moved && key == kKeyF9) {
    session_.link = ConfigureComputer(session_);
    DrawFrame();  // the setup screens may have drawn over the page
    if (Identifying()) CheckModule(session_, "");
  }
  registerpage::HoldPageInRange(page_, rules_);
}

int Viewer::HandleKey() {
  uint16_t remembered = values_[page_.Index(page_.cursor_row)];
  int key = registerpage::KeyClass() == registerpage::kOrdinaryKeyWaiting
                ? EditSelectedCell(remembered)
                : GetKey();
  Act(key);
  return key;
}

linklib::LinkHandle* Viewer::Run() {
  DrawFrame();
  AddHotKey(kKeyF2, ShowViewerHelp);
  InstallWaitCallback(session_.link);
  CorrectSettings(setup_);
  linklib::SetLinkOptions(session_.link, setup_.error_check == 1, setup_.priority);
  if (Identifying()) CheckModule(session_, "");

  page_.count = setup_.screen_size;
  rules_.highest = kHighestRegister;
  rules_.scroll_by_three_from = 3;
  registerpage::MoveHome(page_, setup_.starting_register);
  selected_ = registerpage::kHexCell;

  int key = 0;
  while (key != kKeyEscape) {
    registerpage::ClearKeyClass();
    registerpage::RefreshUntilKey([this] { RefreshCycle(); });
    key = HandleKey();
  }
  RemoveHotKey(kKeyF2);
  ClearToEos(4, 1);
  linklib::SetLinkOptions(session_.link, 0, 0);
  return session_.link;
}

// The print file shows each cell as a printer can: the double frame as
// "+", "-" and "|", other characters outside 32..127 as ".".
char PrintedCharacter(unsigned char character) {
  switch (character) {
    case 186:
      return '|';
    case 205:
      return '-';
    case 187:
    case 188:
    case 200:
    case 201:
      return '+';
    default:
      return character >= 32 && character <= 127 ? static_cast<char>(character) : '.';
  }
}

void WriteScreen(std::FILE* file, int bright_code) {
  for (int row = 1; row <= kScreenRows; ++row) {
    char text[kConsoleColumns + 1];
    char underline[kConsoleColumns + 1];
    for (int column = 1; column <= kConsoleColumns; ++column) {
      text[column - 1] = PrintedCharacter(ImageCharacter(row, column));
      int code = ImageCode(row, column);
      underline[column - 1] = code != kNormal && code != bright_code ? '_' : ' ';
    }
    text[kConsoleColumns] = underline[kConsoleColumns] = '\0';
    // On a printer the underline line overprints the text line.
    std::fprintf(file, "%s\r%s\n", text, underline);
  }
  std::fputc('\f', file);
}

}  // namespace

linklib::LinkHandle* RegisterViewer(Session& session) {
  Viewer viewer(session);
  return viewer.Run();
}

void PrintScreen(Session& session) {
  constexpr int kNameWidth = 34;
  Window* box = OpenBox(10, 20, 13, 58, "PRINT SCREEN");
  PutText("O", 11, 22, 0, ' ', kBright);
  int bright_code = ImageCode(11, 22);
  PutText("Output file:", 11, 22, 0, ' ', kNormal);
  char name[kNameWidth + 1] = "LPT1:";
  std::FILE* file = nullptr;
  while (file == nullptr) {
    // Printer names are ordinary files here: the name takes path characters
    // as typed, without upper-casing.
    int key = EditLine(name, 12, 22, kNameWidth, '_', "A-Za-z0-9$._~:/-", kPrintExitKeys,
                       kBright | kEditStartFromText | kEditReplaceOnFirstKey);
    if (key == kKeyEscape) {
      CloseWindow(&box);
      return;
    }
    file = std::fopen(name, "w");
    if (file == nullptr) ReportErrorF(session, "Can't open file \"%s\" for write.", name);
  }
  CloseWindow(&box);  // the box is not printed
  WriteScreen(file, bright_code);
  std::fclose(file);
}

}  // namespace kxtdev
