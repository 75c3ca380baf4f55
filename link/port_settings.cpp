// Line settings of an open link: SetPortMode and the settings text that
// users type ("9600,E,8,1").
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "link/link_handle.h"
#include "link/serial_port.h"
#include "link/serial_worker.h"

namespace linklib {
namespace {

constexpr uint32_t kLowestBaud = 50;
constexpr uint32_t kHighestBaud = 57600;
constexpr uint16_t kParsedReplyTimeout = 500;

bool IsSerialKind(uint32_t kind) {
  return kind == kKindSymax || kind == kKindGateway || kind == kKindModbusRtu ||
         kind == kKindModbusAscii;
}

// Parity codes 0 none, 1 even, 2 odd, 3 space, 4 mark; false for others.
bool ParityFromCode(int code, platform::Parity* parity) {
  switch (code) {
    case 0:
      *parity = platform::Parity::None;
      return true;
    case 1:
      *parity = platform::Parity::Even;
      return true;
    case 2:
      *parity = platform::Parity::Odd;
      return true;
    case 3:
      *parity = platform::Parity::Space;
      return true;
    case 4:
      *parity = platform::Parity::Mark;
      return true;
    default:
      return false;
  }
}

// Parity letter in either case to its code; -1 for any other letter.
int ParityCodeFromLetter(char letter) {
  switch (std::toupper(static_cast<unsigned char>(letter))) {
    case 'N':
      return 0;
    case 'E':
      return 1;
    case 'O':
      return 2;
    case 'S':
      return 3;
    case 'M':
      return 4;
    default:
      return -1;
  }
}

// Reads the fields of "%d,%c,%d,%d" the way the C library's scanner does
// (numbers skip leading blanks, the letter does not), without its undefined
// behaviour on numbers too large for an int. Returns the fields converted.
struct SettingsFields {
  int baud = 0;
  char parity = 0;
  int data_bits = 0;
  int stop_bits = 0;
};

bool ReadNumber(const char*& cursor, int* value) {
  char* end = nullptr;
  errno = 0;
  long number = std::strtol(cursor, &end, 10);
  if (end == cursor) return false;
  if (number > INT_MAX) number = INT_MAX;
  if (number < INT_MIN) number = INT_MIN;
  *value = static_cast<int>(number);
  cursor = end;
  return true;
}

bool ReadComma(const char*& cursor) {
  if (*cursor != ',') return false;
  ++cursor;
  return true;
}

int ReadSettingsFields(const char* text, SettingsFields* fields) {
  const char* cursor = text;
  if (!ReadNumber(cursor, &fields->baud)) return 0;
  if (!ReadComma(cursor) || *cursor == 0) return 1;
  fields->parity = *cursor++;
  if (!ReadComma(cursor) || !ReadNumber(cursor, &fields->data_bits)) return 2;
  if (!ReadComma(cursor) || !ReadNumber(cursor, &fields->stop_bits)) return 3;
  return 4;
}

}  // namespace

int SetPortMode(LinkHandle* handle, uint32_t baud, int parity, int stop_bits,
                uint16_t reply_timeout, int data_bits) {
  if (!IsValidHandle(handle)) return 0;
  // The read interval divides by the baud rate; no line runs at 0 baud.
  if (baud == 0) {
    SetMessage(handle, "Invalid baud rate");
    return 0;
  }
  if (IsSerialKind(handle->kind) && handle->worker) {
    platform::LineSettings line = handle->worker->line();
    line.baud = baud;
    ParityFromCode(parity, &line.parity);  // an unknown code keeps the parity
    line.data_bits = data_bits;
    line.stop_bits = stop_bits == 2 ? 2 : 1;
    handle->worker->SetLine(line, ReadIntervalTimeout(baud));
  }
  handle->reply_timeout = reply_timeout;
  return 1;
}

int SetPortMode8(LinkHandle* handle, uint32_t baud, int parity, int stop_bits,
                 uint16_t reply_timeout) {
  return SetPortMode(handle, baud, parity, stop_bits, reply_timeout, 8);
}

int ParsePortSettings(const char* text, LinkHandle* handle) {
  if (!text) text = "";
  SettingsFields fields;
  int converted = ReadSettingsFields(text, &fields);
  if (converted < 4) {
    std::printf("Bad port settings: \"%s\" (%d)\n", text, converted);
    std::fflush(stdout);
    return 0;
  }
  uint32_t baud = static_cast<uint32_t>(fields.baud);
  if (baud < kLowestBaud || baud > kHighestBaud) {
    std::printf("Bad port settings: \"%s\" ", text);
    std::printf("Invalid baud rate\n");
    std::fflush(stdout);
    return 0;
  }
  int parity = ParityCodeFromLetter(fields.parity);
  if (parity < 0) {
    std::printf("Bad port settings: \"%s\" ", text);
    std::printf("Invalid parity\n");
    std::fflush(stdout);
    return 0;
  }
  return SetPortMode(handle, baud, parity, fields.stop_bits, kParsedReplyTimeout, fields.data_bits);
}

}  // namespace linklib
