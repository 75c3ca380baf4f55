#include "kxtsim/options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kxtsim {
namespace {

bool ParseNumber(const char* text, long lowest, long highest, long& value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  long parsed = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || parsed < lowest || parsed > highest) return false;
  value = parsed;
  return true;
}

// "CODE" or "CODE/EVERY".
bool ParseCodeEvery(const char* text, long highest_code, int& code, int& every) {
  if (text == nullptr) return false;
  std::string whole = text;
  size_t slash = whole.find('/');
  long value = 0;
  if (!ParseNumber(whole.substr(0, slash).c_str(), 0, highest_code, value)) return false;
  code = static_cast<int>(value);
  every = 1;
  if (slash != std::string::npos) {
    if (!ParseNumber(whole.substr(slash + 1).c_str(), 1, 1000000, value)) return false;
    every = static_cast<int>(value);
  }
  return true;
}

std::optional<SerialProtocol> ProtocolNamed(const std::string& name) {
  if (name == "symax") return SerialProtocol::Symax;
  if (name == "gateway") return SerialProtocol::Gateway;
  if (name == "rtu") return SerialProtocol::ModbusRtu;
  if (name == "ascii") return SerialProtocol::ModbusAscii;
  return std::nullopt;
}

}  // namespace

void PrintBanner(FILE* out) { std::fputs("kxtsim simulated KXT4 module\n", out); }

void PrintUsage(FILE* out) {
  std::fputs(
      "usage: kxtsim [--tcp PORT] [--serial symax|gateway|rtu|ascii] [options]\n"
      "  --tcp PORT            Modbus TCP on 127.0.0.1:PORT (0 picks a free port)\n"
      "  --serial PROTOCOL     serial side on a new pseudo-terminal (or --device)\n"
      "  --device PATH         open this serial device instead of a pseudo-terminal\n"
      "  --baud N              line speed (default 9600); pacing follows it\n"
      "  --parity N|E|O|M|S  --data-bits 7|8  --stop-bits 1|2\n"
      "  --crc                 Sy/Max: CRC-16 check instead of the check byte\n"
      "  --unit N              Modbus serial slave address (default 1)\n"
      "  --name TEXT           module name (default \"KXT4 Simulated\")\n"
      "  --module-port N       module port reported in register 8176 (default 1)\n"
      "  --no-ident            no identification marker in register 8188\n"
      "  --model N             register 8188 reads N (another device's model number)\n"
      "  --no-flexible-status  status registers stay at 2 x channel\n"
      "  --no-auto-start       the Auto Start mask stays 0\n"
      "  --never-halt C        channel C runs and never halts\n"
      "  --delay MS            hold every reply back MS milliseconds\n"
      "  --exception CODE[/N]  Modbus exception CODE to every (N-th) request\n"
      "  --error-status S[/N]  Sy/Max error status S (Gateway: an error line)\n"
      "  --drop N              no reply to every N-th request\n"
      "  --corrupt N           wrong check on every N-th frame sent\n"
      "  --busy N              Sy/Max: answer every N-th frame busy (DLE SYN)\n"
      "  --enquiry-rounds N    Sy/Max: enquiry rounds before a reply is given up (32)\n"
      "  -v                    one line per request\n"
      "  --help                this text;  --version  the banner line\n",
      out);
}

std::optional<SimOptions> ParseOptions(int argc, const char* const* argv, FILE* err) {
  SimOptions options;
  SerialOptions serial;
  bool serial_wanted = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "--version") {
      options.request = arg == "--help" ? SimRequest::Help : SimRequest::Version;
      return options;
    }
    const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
    long value = 0;
    bool ok = true;
    bool takes_value = true;
    if (arg == "--tcp") {
      ok = ParseNumber(next, 0, 65535, value);
      options.tcp_port = static_cast<uint16_t>(value);
    } else if (arg == "--serial") {
      auto protocol = next ? ProtocolNamed(next) : std::nullopt;
      ok = protocol.has_value();
      if (ok) serial.protocol = *protocol;
      serial_wanted = true;
    } else if (arg == "--device") {
      ok = next != nullptr && *next != '\0';
      if (ok) serial.device = next;
    } else if (arg == "--baud") {
      ok = ParseNumber(next, 50, 4000000, value);
      serial.baud = static_cast<uint32_t>(value);
    } else if (arg == "--parity") {
      ok = next != nullptr && std::strlen(next) == 1 && std::strchr("NEOMS", next[0]) != nullptr;
      if (ok) serial.parity = next[0];
    } else if (arg == "--data-bits") {
      ok = ParseNumber(next, 7, 8, value);
      serial.data_bits = static_cast<int>(value);
    } else if (arg == "--stop-bits") {
      ok = ParseNumber(next, 1, 2, value);
      serial.stop_bits = static_cast<int>(value);
    } else if (arg == "--unit") {
      ok = ParseNumber(next, 1, 247, value);
      serial.unit = static_cast<uint8_t>(value);
    } else if (arg == "--name") {
      ok = next != nullptr;
      if (ok) options.module.module_name = next;
    } else if (arg == "--module-port") {
      ok = ParseNumber(next, 0, 255, value);
      options.module.module_port = static_cast<int>(value);
    } else if (arg == "--never-halt") {
      ok = ParseNumber(next, 1, kChannelCount, value);
      options.module.never_halting_channel = static_cast<int>(value);
    } else if (arg == "--delay") {
      ok = ParseNumber(next, 0, 600000, value);
      options.faults.delay_ms = static_cast<int>(value);
    } else if (arg == "--exception") {
      ok = ParseCodeEvery(next, 255, options.faults.exception_code,
                          options.faults.exception_every) &&
           options.faults.exception_code != 0;
    } else if (arg == "--error-status") {
      ok = ParseCodeEvery(next, 255, options.faults.error_status, options.faults.error_every) &&
           options.faults.error_status != 0;
    } else if (arg == "--model") {
      ok = ParseNumber(next, 0, 65535, value);
      options.module.model_word = static_cast<int>(value);
    } else if (arg == "--drop") {
      ok = ParseNumber(next, 1, 1000000, value);
      options.faults.drop_every = static_cast<int>(value);
    } else if (arg == "--corrupt") {
      ok = ParseNumber(next, 1, 1000000, value);
      options.faults.corrupt_every = static_cast<int>(value);
    } else if (arg == "--busy") {
      ok = ParseNumber(next, 1, 1000000, value);
      options.faults.busy_every = static_cast<int>(value);
    } else if (arg == "--enquiry-rounds") {
      ok = ParseNumber(next, 1, 100000000, value);
      options.faults.enquiry_rounds = static_cast<int>(value);
    } else {
      takes_value = false;
      if (arg == "--crc") {
        serial.crc = true;
      } else if (arg == "--no-ident") {
        options.module.no_identification = true;
      } else if (arg == "--no-flexible-status") {
        options.module.no_flexible_status = true;
      } else if (arg == "--no-auto-start") {
        options.module.no_auto_start = true;
      } else if (arg == "-v") {
        options.verbose = true;
      } else {
        std::fprintf(err, "kxtsim: unknown option \"%s\"\n", arg.c_str());
        PrintUsage(err);
        return std::nullopt;
      }
    }
    if (!ok) {
      std::fprintf(err, "kxtsim: bad or missing value for %s\n", arg.c_str());
      PrintUsage(err);
      return std::nullopt;
    }
    if (takes_value) ++i;
  }
  if (serial_wanted) options.serial = serial;
  if (!options.tcp_port && !options.serial) {
    std::fputs("kxtsim: give --tcp PORT, --serial PROTOCOL or both\n", err);
    PrintUsage(err);
    return std::nullopt;
  }
  return options;
}

}  // namespace kxtsim
