// kxtdev's settings record: how to reach the module, the terminal emulator's
// line, the editor path and the register viewer's options. The setup file
// ("KXTSW.STP") is exactly the 148-byte image of this record, little-endian.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "link/link.h"

namespace kxtdev {

constexpr int kEditorPathLimit = 40;  // characters, without the terminator
constexpr int kHostLimit = 30;

enum ConnectionType : uint16_t {
  kConnectionNone = 0,
  kConnectionSymax = 1,
  kConnectionNetToNet = 2,
  kConnectionGateway = 3,
  kConnectionModbusRtu = 4,
  kConnectionModbusAscii = 5,
  kConnectionModbusTcp = 6,
};

// Yes/no choices store 0 for "YES" and 1 for "NO".
constexpr uint16_t kChoiceYes = 0;
constexpr uint16_t kChoiceNo = 1;

struct SetupRecord {
  uint16_t connection_type;
  uint16_t com_port;  // index into the serial port names
  uint16_t synet_card_base;
  uint16_t baud_rate;    // index into kBaudRates
  uint16_t data_bits;    // 0 = 7, 1 = 8
  uint16_t stop_bits;    // 0 = 1, 1 = 2
  uint16_t parity;       // 0 none, 1 even, 2 odd
  uint16_t error_check;  // 0 BCC, 1 CRC
  linklib::Route route;
  uint16_t synet_speed;
  uint16_t synet_size;
  uint16_t terminal_port;
  uint16_t terminal_baud_rate;
  uint16_t terminal_data_bits;
  uint16_t terminal_stop_bits;
  uint16_t terminal_parity;
  char editor_path[42];
  uint16_t priority;          // 0 Non-Priority, 1 Priority
  uint16_t status_registers;  // kChoiceYes / kChoiceNo
  uint16_t screen_size;
  uint16_t starting_register;
  uint16_t identify_module;  // kChoiceYes / kChoiceNo
  uint16_t trap_errors;      // kChoiceYes / kChoiceNo
  uint16_t timeout;
  uint16_t tcp_port;
  char host[31];
  unsigned char unused[11];
};

// The file image is the record's memory: fixed offsets, little-endian words.
static_assert(std::endian::native == std::endian::little);
static_assert(sizeof(SetupRecord) == 148);
static_assert(offsetof(SetupRecord, com_port) == 2);
static_assert(offsetof(SetupRecord, error_check) == 14);
static_assert(offsetof(SetupRecord, route) == 16);
static_assert(offsetof(SetupRecord, synet_speed) == 34);
static_assert(offsetof(SetupRecord, terminal_port) == 38);
static_assert(offsetof(SetupRecord, terminal_parity) == 46);
static_assert(offsetof(SetupRecord, editor_path) == 48);
static_assert(offsetof(SetupRecord, priority) == 90);
static_assert(offsetof(SetupRecord, timeout) == 102);
static_assert(offsetof(SetupRecord, tcp_port) == 104);
static_assert(offsetof(SetupRecord, host) == 106);
static_assert(offsetof(SetupRecord, unused) == 137);

constexpr int kBaudRateCount = 16;
extern const uint32_t kBaudRates[kBaudRateCount];

// The two built-in records; the TR90X one applies to setup file names that
// begin with "TR90X".
const SetupRecord& StandardDefaultSetup();
const SetupRecord& Tr90xDefaultSetup();
const SetupRecord& DefaultSetupFor(const char* setup_file_name);

// Values read through these are safe whatever the file held: an index past
// its table gives the stated fallback, texts are read within their fields.
uint32_t BaudRateAt(uint16_t index);  // index past the table: 9600
// The route with its count held to 8.
linklib::Route SafeRoute(const SetupRecord& setup);

}  // namespace kxtdev

namespace kxtdev {

// The editor path and the host as texts, read within their fields (a file
// may hold them without a terminator).
void CopyEditorPath(const SetupRecord& setup, char (&text)[kEditorPathLimit + 1]);
void CopyHost(const SetupRecord& setup, char (&text)[kHostLimit + 1]);

}  // namespace kxtdev
