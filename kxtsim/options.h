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

// What the command line asks for: a run, or only the usage or the banner.
enum class SimRequest { Run, Help, Version };

struct SimOptions {
  SimRequest request = SimRequest::Run;
  std::optional<uint16_t> tcp_port;
  std::optional<SerialOptions> serial;
  ModuleOptions module;
  ReplyFaultOptions faults;
  bool verbose = false;
};

// Parses argv. On failure prints the reason and the usage to `err` and
// returns nothing. --help or --version, met where an option may stand, ends
// the parse with that request and nothing else checked.
std::optional<SimOptions> ParseOptions(int argc, const char* const* argv, FILE* err);

void PrintUsage(FILE* out);
// The banner line, the answer to --version.
void PrintBanner(FILE* out);

}  // namespace kxtsim
