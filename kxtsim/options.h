// kxtsim's command line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "kxtsim/module_model.h"
#include "kxtsim/reply_faults.h"

namespace kxtsim {

enum class SerialProtocol { Symax, Gateway, ModbusRtu, ModbusAscii };

struct SerialOptions {
  SerialProtocol protocol = SerialProtocol::Symax;
  std::string device;  // empty: create a pseudo-terminal
  uint32_t baud = 9600;
  char parity = 'N';  // N, E, O, M, S
  int data_bits = 8;
  int stop_bits = 1;
  bool crc = false;  // Sy/Max: CRC instead of the block check byte
  uint8_t unit = 1;  // Modbus serial slave address

  // Bits one character occupies on the line.
  int BitsPerCharacter() const { return 1 + data_bits + (parity == 'N' ? 0 : 1) + stop_bits; }
};

struct SimOptions {
  std::optional<uint16_t> tcp_port;
  std::optional<SerialOptions> serial;
  ModuleOptions module;
  ReplyFaultOptions faults;
  bool verbose = false;
};

// Parses argv. On failure prints the reason and the usage to `err` and
// returns nothing.
std::optional<SimOptions> ParseOptions(int argc, const char* const* argv, FILE* err);

void PrintUsage(FILE* out);

}  // namespace kxtsim
