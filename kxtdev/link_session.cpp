#include "kxtdev/link_session.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "console/screen.h"
#include "console/serial_ports.h"
#include "console/windows.h"
#include "register_page/key_watch.h"

namespace kxtdev {
namespace {

using namespace console;

constexpr uint32_t kIdentificationFirst = 8176;
constexpr uint32_t kIdentificationCount = 13;
constexpr uint16_t kIdentificationMarker = 0x9990;
constexpr int kNameCharacters = 20;
// The error box must fit the screen: a longer text is cut.
constexpr int kErrorBoxTextLimit = 74;

// A serial port name from the port list; false when the index has no entry.
bool PortDevice(uint16_t index, char (&name)[256], const char** shown) {
  for (int i = 0; i <= index; ++i)
    if (i >= kSerialPortSlots - 1 || SerialPortNames[i] == nullptr) return false;
  *shown = SerialPortNames[index];
  return SerialPortPath(SerialPortNames[index], name, sizeof name);
}

linklib::LinkHandle* OpenFromSetup(Session& session) {
  SetupRecord& setup = session.setup;
  const char* line = nullptr;
  switch (setup.connection_type) {
    case kConnectionSymax:
    case kConnectionNetToNet:
      line = "Via Sy/Max to %s";
      break;
    case kConnectionGateway:
      line = "Via Gateway to %s";
      break;
    case kConnectionModbusRtu:
      line = "Via Modbus RTU to %s";
      break;
    case kConnectionModbusAscii:
      line = "Via Modbus ASCII to %s";
      break;
    case kConnectionModbusTcp:
      line = "Via Modbus TCP to %s";
      break;
    default:
      return nullptr;  // "None" or a type no screen offers
  }
  bool modbus = setup.connection_type >= kConnectionModbusRtu;
  if (modbus) setup.route.count = 1;
  linklib::Route route = SafeRoute(setup);

  if (setup.connection_type == kConnectionModbusTcp) {
    char host[kHostLimit + 1];
    CopyHost(setup, host);
    PrintAt(line, 5, 3, 0, ' ', kNormal, host);
    return linklib::OpenModbusTCP(host, setup.tcp_port, route.drops[0]);
  }
  char device[256];
  const char* shown = nullptr;
  if (!PortDevice(setup.com_port, device, &shown)) return nullptr;
  PrintAt(line, 5, 3, 0, ' ', kNormal, shown);
  switch (setup.connection_type) {
    case kConnectionSymax:
      return linklib::OpenSymax(device, 0, &route);
    case kConnectionNetToNet:
      return linklib::OpenSymax(device, 1, &route);
    case kConnectionGateway:
      return linklib::OpenGateway(device, &route);
    case kConnectionModbusRtu:
      return linklib::OpenModbusRTU(device, route.drops[0]);
    default:
      return linklib::OpenModbusAscii(device, route.drops[0]);
  }
}

// Line settings from the record; a choice past its list counts as the
// standard default's (8 data bits, 1 stop bit, even parity, 9600 baud).
void ApplyLineSettings(Session& session) {
  const SetupRecord& setup = session.setup;
  int parity = setup.parity <= 2 ? setup.parity : 1;
  int stop_bits = setup.stop_bits <= 1 ? setup.stop_bits + 1 : 1;
  int data_bits = setup.data_bits <= 1 ? setup.data_bits + 7 : 8;
  if (!linklib::SetPortMode(session.link, BaudRateAt(setup.baud_rate), parity, stop_bits,
                            setup.timeout, data_bits))
    ReportError(session, linklib::LinkMessage(session.link));
}

}  // namespace

void InstallWaitCallback(linklib::LinkHandle* link) {
  if (link) linklib::SetWaitCallback(link, registerpage::WatchKeysWhileWaiting, 0);
}

linklib::LinkHandle* ConnectLink(Session& session) {
  Window* box = OpenBox(4, 1, 6, 40, "ATTEMPTING TO CONNECT");
  if (session.link == nullptr) {
    session.link = OpenFromSetup(session);
    if (session.link)
      InstallWaitCallback(session.link);
    else
      ReportError(session, "Unable to establish link.");
  }
  if (session.link) ApplyLineSettings(session);
  CloseWindow(&box);
  return session.link;
}

int CheckModule(Session& session, const char* expected) {
  uint16_t words[kIdentificationCount] = {};
  if (!linklib::ReadRegisters(session.link, kIdentificationFirst, kIdentificationCount, words)) {
    if (expected[0] != '\0') return ReportError(session, linklib::LinkMessage(session.link));
    return 1;
  }
  // The module keeps its Auto Start mask in the low four bits of the marker
  // register: a module with a channel set to start on its own is still identified.
  if ((words[12] & 0xFFF0) != kIdentificationMarker) {
    PutText("", 2, 15, 50, ' ', kBright);
    return 1;
  }
  char* name = session.module_name;
  for (int i = 0; i < kNameCharacters / 2; ++i) {
    name[2 * i] = static_cast<char>(words[1 + i] >> 8);
    name[2 * i + 1] = static_cast<char>(words[1 + i] & 0xFF);
  }
  name[kNameCharacters] = '\0';
  size_t expected_length = std::strlen(expected);
  if (expected_length > 0 && std::strncmp(name, expected, expected_length) != 0)
    return ReportErrorF(session, "Connected module is not an %s", expected);
  // A zero byte in the name ends it; then blanks, "E" and "O" are cut from its end.
  int length = static_cast<int>(strnlen(name, kNameCharacters));
  while (length > 0 &&
         (name[length - 1] == ' ' || name[length - 1] == 'E' || name[length - 1] == 'O'))
    --length;
  name[length] = '\0';
  if (words[0] & 0x8000) {
    std::strcat(name, " Port  ");
    name[length + 6] = static_cast<char>((words[0] + 48) & 0xFF);
  }
  PutText(name, 2, 15, 50, ' ', kBright | kCentre);
  return 1;
}

int ReportError(const Session& session, const char* text) {
  if (session.setup.trap_errors == kChoiceNo) {
    PutText(text, 25, 40, 40, ' ', kRed);
    return 1;
  }
  char shown[kErrorBoxTextLimit + 1];
  std::snprintf(shown, sizeof shown, "%s", text);
  int length = static_cast<int>(std::strlen(shown));
  Window* box = OpenBox(22, 75 - length, 24, 79, "ERROR");
  PutText(shown, 23, 77 - length, 0, ' ', kRed);
  int key;
  do {
    Beep();
    key = GetKey();
  } while (key != kKeyF10 && key != kKeyEscape);
  CloseWindow(&box);
  return key == kKeyF10 ? 1 : 0;
}

int ReportErrorF(const Session& session, const char* format, ...) {
  char text[kPrintAtLimit + 1];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  return ReportError(session, text);
}

}  // namespace kxtdev
