#include "kxtdev/configuration_screens.h"

#include <cstring>

#include "console/field_types.h"
#include "console/fields.h"
#include "console/line_editor.h"
#include "console/screen.h"
#include "console/serial_ports.h"
#include "console/windows.h"
#include "kxtdev/link_session.h"
#include "kxtdev/setup_file.h"

namespace kxtdev {
namespace {

using namespace console;

const char* const kConnectionTypes[] = {"None",         "Sy/Max COM:", "Net-to-Net COM:",
                                        "Gateway COM:", "Modbus RTU",  "Modbus ASCII",
                                        "Modbus TCP",   nullptr};
const char* const kBaudRateChoices[] = {"50   ", "75   ", "110  ", "134.5", "150  ", "300  ",
                                        "600  ", "1200 ", "1800 ", "2400 ", "3600 ", "4800 ",
                                        "7200 ", "9600 ", "14400", "19200", nullptr};
const char* const kDataBitsChoices[] = {"7", "8", nullptr};
const char* const kStopBitsChoices[] = {"1", "2", nullptr};
const char* const kParityChoices[] = {"NONE", "EVEN", "ODD", nullptr};
const char* const kErrorCheckChoices[] = {"BCC", "CRC", nullptr};
const char* const kYesNoChoices[] = {"YES", "NO", nullptr};
const char* const kPriorityChoices[] = {"Non-Priority", "Priority", nullptr};

const char kEditAbortedMessage[] = "Edit aborted by ESC. Modifications lost.";

constexpr uint32_t kShowBright = kBright;
// Number, text and list fields: the first data key replaces the old value.
constexpr uint32_t kTypedOver = kBright | kEditReplaceOnFirstKey;

// Port names in the forms: Linux names (ttyUSB0) and KXT_PORTS paths
// (/dev/pts/12) are longer than the five columns of a COM name. The
// connection form has room to the box's edge; the terminal box only to its
// own frame.
constexpr int16_t kConnectionPortWidth = 30;
constexpr int16_t kTerminalPortWidth = 8;
// Five digits: TCP ports above 9999 (kxtsim's loopback ports among them).
constexpr int16_t kTcpPortWidth = 5;

// ---- The connection form ------------------------------------------------

constexpr int kConnectionTypeLast = kConnectionModbusTcp;
constexpr int kFormLabelColumn = 30;
constexpr int kFormFieldColumn = 46;
constexpr int kTypeRow = 8;
constexpr int kTypeWidth = 21;
constexpr int kFirstFormRow = 9;
constexpr int kLastFormRow = 17;
// From the label column to the last column inside the box.
constexpr int kFormRowWidth = 78 - kFormLabelColumn + 1;

const LabelDef kNoneLabels[] = {
    {kTypeRow, kFormFieldColumn, "NONE       ", kBright},
    {0, 0, nullptr, 0},
};
const LabelDef kSymaxLabels[] = {
    {9, kFormLabelColumn, "           Port", kNormal},
    {10, kFormLabelColumn, "      Baud rate", kNormal},
    {11, kFormLabelColumn, "      Data bits", kNormal},
    {11, kFormFieldColumn, "8", kBright},  // Sy/Max lines carry 8 data bits
    {12, kFormLabelColumn, "      Stop bits", kNormal},
    {13, kFormLabelColumn, "         Parity", kNormal},
    {14, kFormLabelColumn, "    Error Check", kNormal},
    {15, kFormLabelColumn, "        Timeout", kNormal},
    {16, kFormLabelColumn, "    Trap Errors", kNormal},
    {17, kFormLabelColumn, "          Route", kNormal},
    {0, 0, nullptr, 0},
};
const LabelDef kGatewayLabels[] = {
    {9, kFormLabelColumn, "           Port", kNormal},
    {10, kFormLabelColumn, "      Baud rate", kNormal},
    {11, kFormLabelColumn, "      Data bits", kNormal},
    {12, kFormLabelColumn, "      Stop bits", kNormal},
    {13, kFormLabelColumn, "         Parity", kNormal},
    {14, kFormLabelColumn, "          Route    ", kNormal},
    {0, 0, nullptr, 0},
};
const LabelDef kModbusSerialLabels[] = {
    {9, kFormLabelColumn, "           Port", kNormal},
    {10, kFormLabelColumn, "      Baud rate", kNormal},
    {11, kFormLabelColumn, "      Data bits", kNormal},
    {12, kFormLabelColumn, "      Stop bits", kNormal},
    {13, kFormLabelColumn, "         Parity", kNormal},
    {15, kFormLabelColumn, "        Timeout", kNormal},
    {16, kFormLabelColumn, "    Trap Errors", kNormal},
    {17, kFormLabelColumn, "           Drop", kNormal},
    {0, 0, nullptr, 0},
};
const LabelDef kModbusTcpLabels[] = {
    {9, kFormLabelColumn, "           Host", kNormal},
    {10, kFormLabelColumn, "           Port", kNormal},
    {15, kFormLabelColumn, "        Timeout", kNormal},
    {16, kFormLabelColumn, "    Trap Errors", kNormal},
    {17, kFormLabelColumn, "           Drop", kNormal},
    {0, 0, nullptr, 0},
};

struct ConnectionForm {
  const LabelDef* labels;
  FieldDef fields[9];
  int field_count;
};

// The fields of each connection type, bound to the live record.
ConnectionForm FormFor(SetupRecord& setup, int type) {
  const FieldDef port = {9,
                         kFormFieldColumn,
                         kConnectionPortWidth,
                         kFieldChoice,
                         &setup.com_port,
                         SerialPortNames,
                         kShowBright};
  const FieldDef baud = {
      10, kFormFieldColumn, 5, kFieldChoice, &setup.baud_rate, kBaudRateChoices, kShowBright};
  const FieldDef data_bits = {
      11, kFormFieldColumn, 1, kFieldChoice, &setup.data_bits, kDataBitsChoices, kShowBright};
  const FieldDef stop_bits = {
      12, kFormFieldColumn, 1, kFieldChoice, &setup.stop_bits, kStopBitsChoices, kShowBright};
  const FieldDef parity = {
      13, kFormFieldColumn, 4, kFieldChoice, &setup.parity, kParityChoices, kShowBright};
  const FieldDef timeout = {15,      kFormFieldColumn, 6, kFieldUnsigned16, &setup.timeout,
                            nullptr, kTypedOver};
  const FieldDef trap_errors = {
      16, kFormFieldColumn, 3, kFieldChoice, &setup.trap_errors, kYesNoChoices, kShowBright};
  const FieldDef drop = {17,           kFormFieldColumn, 3,         kFieldNumberList,
                         &setup.route, nullptr,          kTypedOver};
  switch (type) {
    case kConnectionSymax:
    case kConnectionNetToNet:
      return {kSymaxLabels,
              {port,
               baud,
               stop_bits,
               parity,
               {14, kFormFieldColumn, 3, kFieldChoice, &setup.error_check, kErrorCheckChoices,
                kShowBright},
               timeout,
               trap_errors,
               {17, kFormFieldColumn, 31, kFieldNumberList, &setup.route, nullptr, kTypedOver}},
              8};
    case kConnectionGateway:
      return {kGatewayLabels,
              {port,
               baud,
               data_bits,
               stop_bits,
               parity,
               {14, kFormFieldColumn, 31, kFieldNumberList, &setup.route, nullptr, kTypedOver}},
              6};
    case kConnectionModbusRtu:
    case kConnectionModbusAscii:
      return {kModbusSerialLabels,
              {port, baud, data_bits, stop_bits, parity, timeout, trap_errors, drop},
              8};
    case kConnectionModbusTcp:
      // A host read without its terminator is safe in the text field: it
      // reads at most 30 characters and writes at most 31 bytes.
      return {kModbusTcpLabels,
              {{9, kFormFieldColumn, kHostLimit, kFieldText, setup.host, nullptr, kTypedOver},
               {10, kFormFieldColumn, kTcpPortWidth, kFieldUnsigned16, &setup.tcp_port, nullptr,
                kTypedOver},
               timeout,
               trap_errors,
               drop},
              5};
    default:
      return {kNoneLabels, {}, 0};
  }
}

// Type name, labels and fields of the record's connection type. The rows a
// form does not use are blanked, so nothing of the previous form stays.
void DrawConnectionForm(SetupRecord& setup, const ConnectionForm& form) {
  PutText(kConnectionTypes[setup.connection_type], kTypeRow, kFormFieldColumn, kTypeWidth, ' ',
          kInverse);
  for (int row = kFirstFormRow; row <= kLastFormRow; ++row)
    PutText("", row, kFormLabelColumn, kFormRowWidth, ' ', kNormal);
  DrawLabels(form.labels);
  if (form.field_count > 0) ShowFields(form.fields, 0, form.field_count - 1, 0);
}

bool IsNextTypeKey(int key) { return key == kKeyRight || key == ' ' || key == '+'; }
bool IsPreviousTypeKey(int key) { return key == kKeyLeft || key == '-'; }

// Runs the connection form until it is accepted (Enter or F1 returned) or
// left with Escape (Escape returned).
int RunConnectionForm(SetupRecord& setup) {
  static const char kExitKeys[] = {kKeyEnter,
                                   kKeyEscape,
                                   static_cast<char>(kKeyUp),
                                   static_cast<char>(kKeyDown),
                                   static_cast<char>(kKeyF1),
                                   '\0'};
  if (setup.connection_type > kConnectionTypeLast) setup.connection_type = kConnectionSymax;
  for (;;) {
    ConnectionForm form = FormFor(setup, setup.connection_type);
    DrawConnectionForm(setup, form);
    int start = -1;
    while (start < 0) {
      const int key = GetKey();
      if (IsNextTypeKey(key)) {
        setup.connection_type = static_cast<uint16_t>(setup.connection_type >= kConnectionTypeLast
                                                          ? kConnectionSymax
                                                          : setup.connection_type + 1);
        break;
      }
      if (IsPreviousTypeKey(key)) {
        setup.connection_type = static_cast<uint16_t>(setup.connection_type <= kConnectionSymax
                                                          ? kConnectionTypeLast
                                                          : setup.connection_type - 1);
        break;
      }
      if (key == kKeyDown || key == kKeyEnter) {
        if (form.field_count > 0) start = 0;
      } else if (key == kKeyUp) {
        if (form.field_count > 0) start = form.field_count - 1;
      } else if (key == kKeyEscape) {
        return kKeyEscape;
      } else {
        Beep();
      }
    }
    if (start < 0) continue;  // the type changed: draw its form

    PutText(kConnectionTypes[setup.connection_type], kTypeRow, kFormFieldColumn, kTypeWidth, ' ',
            kBright);
    const int key =
        EditFields(form.fields, 0, form.field_count - 1, start, kExitKeys, kEditStartFromText);
    if (key == kKeyEnter || key == kKeyF1 || key == kKeyEscape) return key;
    // Up from the first field or Down from the last: back to the type.
  }
}

// The settings that name the link; line settings are applied to an open
// link by ConnectLink and do not need a new one.
bool LinkIdentityChanged(const SetupRecord& before, const SetupRecord& after) {
  if (before.connection_type != after.connection_type || before.com_port != after.com_port ||
      before.synet_card_base != after.synet_card_base || before.tcp_port != after.tcp_port)
    return true;
  if (std::strncmp(before.host, after.host, sizeof before.host) != 0) return true;
  const linklib::Route old_route = SafeRoute(before);
  const linklib::Route new_route = SafeRoute(after);
  if (before.route.count != after.route.count) return true;
  for (int i = 0; i < new_route.count; ++i)
    if (old_route.drops[i] != new_route.drops[i]) return true;
  return false;
}

bool RecordChanged(const SetupRecord& before, const SetupRecord& after) {
  return std::memcmp(&before, &after, sizeof before) != 0;
}

// Escape: the record goes back to its state on entry.
void AbandonEdit(Session& session, const SetupRecord& copy) {
  ReportError(session, kEditAbortedMessage);
  session.setup = copy;
}

// ---- The register viewer form's checks ----------------------------------

// The session whose record the viewer form edits; a field check is a plain
// function, so it finds the session here, only while ConfigureViewer runs.
Session* g_viewer_session = nullptr;

struct RangeCheck {
  int16_t highest;
  const char* too_high;
  const char* too_low;
};

int CheckRange(void* value, const RangeCheck& range) {
  auto* stored = static_cast<uint16_t*>(value);
  const auto signed_value = static_cast<int16_t>(*stored);
  const char* message = nullptr;
  if (signed_value > range.highest) {
    message = range.too_high;
    *stored = static_cast<uint16_t>(range.highest);
  } else if (signed_value < 1) {
    message = range.too_low;
    *stored = 1;
  }
  if (message == nullptr) return 1;
  if (g_viewer_session != nullptr) ReportError(*g_viewer_session, message);
  return 0;
}

int CheckScreenSize(void* value, int, const FieldDef*) {
  return CheckRange(
      value, {20, "Register Viewer size must be <= 20", "Register Viewer size must be >= 1"});
}

int CheckStartingRegister(void* value, int, const FieldDef*) {
  return CheckRange(
      value, {8192, "Register Viewer start must be <= 8192", "Register Viewer start must be >= 1"});
}

}  // namespace

linklib::LinkHandle* ConfigureComputer(Session& session) {
  Window* box = OpenBox(7, 20, 18, 79, "CONFIGURE THIS COMPUTER");
  PutText("Connection type", kTypeRow, kFormLabelColumn, 0, ' ', kNormal);
  const SetupRecord copy = session.setup;
  const int key = RunConnectionForm(session.setup);
  if (key == kKeyEscape) {
    if (RecordChanged(copy, session.setup)) AbandonEdit(session, copy);
    CloseWindow(&box);
    return session.link;
  }
  // A link left open under the old settings would be lost with its port, so
  // it is closed whatever type the copy held.
  if (LinkIdentityChanged(copy, session.setup)) DropLink(session);
  if (ConnectLink(session) != nullptr) SaveSetup(session);
  CloseWindow(&box);
  return session.link;
}

void ConfigureTerminal(Session& session) {
  static const LabelDef kLabels[] = {
      {7, 30, "           Port", kNormal},  {8, 30, "      Baud rate", kNormal},
      {9, 30, "      Data bits", kNormal},  {10, 30, "      Stop bits", kNormal},
      {11, 30, "         Parity", kNormal}, {0, 0, nullptr, 0},
  };
  static const char kExitKeys[] = {kKeyEnter, kKeyEscape, static_cast<char>(kKeyF1), '\0'};
  SetupRecord& setup = session.setup;
  const FieldDef fields[] = {
      {7, 46, kTerminalPortWidth, kFieldChoice, &setup.terminal_port, SerialPortNames, kShowBright},
      {8, 46, 5, kFieldChoice, &setup.terminal_baud_rate, kBaudRateChoices, kShowBright},
      {9, 46, 1, kFieldChoice, &setup.terminal_data_bits, kDataBitsChoices, kShowBright},
      {10, 46, 1, kFieldChoice, &setup.terminal_stop_bits, kStopBitsChoices, kShowBright},
      {11, 46, 4, kFieldChoice, &setup.terminal_parity, kParityChoices, kShowBright},
  };
  constexpr int kLast = 4;

  Window* box = OpenBox(6, 28, 12, 54, "CONFIGURE TERMINAL EMULATOR");
  DrawLabels(kLabels);
  ShowFields(fields, 0, kLast, 0);
  const SetupRecord copy = setup;
  int start = 0;
  int key;
  for (;;) {
    key = EditFields(fields, 0, kLast, start, kExitKeys, kEditStartFromText);
    if (key == kKeyDown) {
      start = 0;  // round from the last field to the first
    } else if (key == kKeyUp) {
      start = kLast;
    } else {
      break;
    }
  }
  if (key == kKeyEscape) {
    if (RecordChanged(copy, setup)) AbandonEdit(session, copy);
  } else if (RecordChanged(copy, setup)) {
    SaveSetup(session);
  }
  CloseWindow(&box);
}

void ConfigureViewer(Session& session) {
  static const LabelDef kLabels[] = {
      {7, 30, "         Priority", kNormal},  {8, 30, " Status Registers", kNormal},
      {9, 30, "      Screen Size", kNormal},  {10, 30, "Starting Register", kNormal},
      {11, 30, "  Identify Module", kNormal}, {0, 0, nullptr, 0},
  };
  static const char kExitKeys[] = {kKeyEnter,
                                   kKeyEscape,
                                   static_cast<char>(kKeyUp),
                                   static_cast<char>(kKeyDown),
                                   static_cast<char>(kKeyF1),
                                   '\0'};
  SetupRecord& setup = session.setup;
  const FieldDef fields[] = {
      {7, 48, 12, kFieldChoice, &setup.priority, kPriorityChoices, kShowBright},
      {8, 48, 3, kFieldChoice, &setup.status_registers, kYesNoChoices, kShowBright},
      {9, 48, 2, kFieldUnsigned16, &setup.screen_size, CheckScreenSize, kShowBright},
      {10, 48, 4, kFieldUnsigned16, &setup.starting_register, CheckStartingRegister, kShowBright},
      {11, 48, 3, kFieldChoice, &setup.identify_module, kYesNoChoices, kShowBright},
  };
  constexpr int kLast = 4;

  Window* box = OpenBox(6, 28, 12, 61, "CONFIGURE REGISTER VIEWER");
  DrawLabels(kLabels);
  ShowFields(fields, 0, kLast, 0);
  const SetupRecord copy = setup;
  g_viewer_session = &session;
  int start = 0;
  int key;
  for (;;) {
    key =
        EditFields(fields, 0, kLast, start, kExitKeys, kEditStartFromText | kEditReplaceOnFirstKey);
    if (key != kKeyUp) break;
    start = kLast;  // round from the first field to the last
  }
  g_viewer_session = nullptr;
  if (key == kKeyEscape) {
    if (RecordChanged(copy, setup)) AbandonEdit(session, copy);
  } else {
    SaveSetup(session);
  }
  CloseWindow(&box);
}

void ConfigureEditor(Session& session) {
  // Path characters as a Linux user writes them, in both cases.
  static const char kPathCharacters[] = "A-Za-z0-9/._$~-";
  static const char kExitKeys[] = {kKeyEnter, kKeyEscape, '\0'};
  SetupRecord& setup = session.setup;
  Window* box = OpenBox(7, 20, 10, 63, "CONFIGURE EDITOR PATH");
  const SetupRecord copy = setup;
  PutText("Text Editor Path", 8, 22, 0, ' ', kNormal);
  // A path read from a file may lack its terminator: the editor reads and
  // writes the path within its 40 characters and the terminator after them.
  setup.editor_path[kEditorPathLimit] = '\0';
  const int key = EditLine(setup.editor_path, 9, 22, kEditorPathLimit, '_', kPathCharacters,
                           kExitKeys, kEditStartFromText | kEditReplaceOnFirstKey | kBright);
  if (key == kKeyEscape) {
    AbandonEdit(session, copy);
  } else {
    SaveSetup(session);
  }
  CloseWindow(&box);
}

}  // namespace kxtdev
