#include "kxtdev/setup_record.h"

#include <cstring>

namespace kxtdev {

const uint32_t kBaudRates[kBaudRateCount] = {50,   75,   110,  135,  150,  300,  600,   1200,
                                             1800, 2400, 3600, 4800, 7200, 9600, 14400, 19200};

namespace {

constexpr uint16_t kBaud9600 = 13;

SetupRecord MakeDefault(uint16_t tcp_port, uint16_t drop_count, uint16_t first_drop) {
  SetupRecord record{};
  record.connection_type = kConnectionSymax;
  record.baud_rate = kBaud9600;
  record.data_bits = 1;
  record.parity = 1;
  record.route.count = drop_count;
  record.route.drops[0] = first_drop;
  record.terminal_baud_rate = kBaud9600;
  record.terminal_data_bits = 1;
  std::strcpy(record.editor_path, "EDIT.COM");
  record.screen_size = 20;
  record.starting_register = 1;
  record.timeout = 500;
  record.tcp_port = tcp_port;
  return record;
}

}  // namespace

const SetupRecord& StandardDefaultSetup() {
  static const SetupRecord record = MakeDefault(502, 0, 0);
  return record;
}

const SetupRecord& Tr90xDefaultSetup() {
  static const SetupRecord record = MakeDefault(504, 1, 201);
  return record;
}

const SetupRecord& DefaultSetupFor(const char* setup_file_name) {
  return std::strncmp(setup_file_name, "TR90X", 5) == 0 ? Tr90xDefaultSetup()
                                                        : StandardDefaultSetup();
}

uint32_t BaudRateAt(uint16_t index) {
  return index < kBaudRateCount ? kBaudRates[index] : kBaudRates[kBaud9600];
}

linklib::Route SafeRoute(const SetupRecord& setup) {
  linklib::Route route = setup.route;
  if (route.count > 8) route.count = 8;
  return route;
}

}  // namespace kxtdev

namespace kxtdev {

void CopyEditorPath(const SetupRecord& setup, char (&text)[kEditorPathLimit + 1]) {
  size_t length = strnlen(setup.editor_path, kEditorPathLimit);
  std::memcpy(text, setup.editor_path, length);
  text[length] = '\0';
}

void CopyHost(const SetupRecord& setup, char (&text)[kHostLimit + 1]) {
  size_t length = strnlen(setup.host, kHostLimit);
  std::memcpy(text, setup.host, length);
  text[length] = '\0';
}

}  // namespace kxtdev
