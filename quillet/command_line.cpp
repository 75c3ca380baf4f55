#include "quillet/command_line.h"

#include <cctype>
#include <cstdint>
#include <cstring>

#include "cli/argument_text.h"

namespace quillet {
namespace {

using cli::AppendWord;
using cli::CopyBounded;
using cli::IsSwitch;
using cli::LeadingDecimal;
using cli::LeadingHex;

const char* const kUsage =
    "Usage is:\n"
    "  QUILLET COMn: [route] [switches] for COM: access.\n"
    "  QUILLET n.n.n.n[:port] [drop] [switches] for Modbus TCP.\n"
    "  QUILLET host.dom[:port] [drop] [switches] for Modbus TCP.\n"
    "  QUILLET SA85[:0|:1] [route] [switches] for SA85.\n"
    "Switches:\n"
    "-?          Help, display this message.\n"
    "-G          COM: port connected to Gateway device.\n"
    "-N          Make connection in NET-TO-NET mode.\n"
    "-Rnnnn      Start at register nnnn, default = 1.\n"
    "-Lnnnn      Read nnnn registers default = 20, max = 20.\n"
    "-P          Use priority reads and writes.\n"
    "-S          Suppress status polling.\n"
    "-X          Register numbers in hex.\n"
    "-T          Trap on error. Default is to automatically retry.\n"
    "-C          Use CRC error check.\n"
    "-A          Modbus ASCII mode.\n"
    "-B          Modbus RTU mode.\n"
    "-3          Read 3X registers.\n"
    "-6[file]    Read 6X registers from specified file.\n"
    "-M<baud>,[E|O|N],[7|8],[1|2]   Set port mode (COM).\n"
    "During session:\n"
    "  Arrows to select register or radix. Page Up and Page Down to change register\n"
    "  by 10.  Home to go to register 1.  0..9, A..F to enter new value.  Enter to\n"
    "  update without moving.  F10 to acknowledge error.  Escape to exit.";

// After a blank line; the last line has no line break.
void PrintUsage(FILE* out) { std::fprintf(out, "\n%s", kUsage); }

Outcome HandleSwitch(const char* arg, FILE* out, RunOptions& options) {
  const char* value = arg + 2;
  switch (std::toupper(static_cast<unsigned char>(arg[1]))) {
    case '?':
    case 'H':
      PrintUsage(out);
      return Outcome::ExitSuccess;
    case 'G':
      options.gateway = true;
      break;
    case 'N':
      options.net_to_net = true;
      break;
    case 'R':
      options.start_register = options.hex_register_numbers
                                   ? LeadingHex(value)
                                   : static_cast<uint32_t>(LeadingDecimal(value));
      break;
    case 'L': {
      int32_t count = LeadingDecimal(value);
      options.register_count = count == 0 ? 1 : (count < 0 || count > 20) ? 20 : count;
      break;
    }
    case 'P':
      options.priority = true;
      break;
    case 'S':
      options.status_polling_suppressed = true;
      break;
    case 'X':
      options.hex_register_numbers = true;
      break;
    case 'T':
      options.trap_on_error = true;
      break;
    case 'C':
      options.crc = true;
      break;
    case 'A':
      options.modbus_mode = ModbusMode::Ascii;
      options.status_polling_suppressed = true;
      break;
    case 'B':
      options.modbus_mode = ModbusMode::Rtu;
      options.status_polling_suppressed = true;
      break;
    case '3':
      options.mode_3x = true;
      options.file_number_6x = LeadingDecimal(value);
      break;
    case '6':
      options.mode_6x = true;
      options.file_number_6x = LeadingDecimal(value);
      break;
    case 'M':
      CopyBounded(options.port_settings, kPortSettingsLimit, value);
      options.port_settings_given = true;
      options.synet_speed = LeadingDecimal(value);
      break;
    case 'D':
      options.synet_size = LeadingDecimal(value);
      break;
    default:
      std::fprintf(out, "Unrecognized switch: \"%s\"\n", arg);
      return Outcome::Exit;
  }
  return Outcome::Continue;
}

Outcome ReadAddressLine(FILE* in, FILE* out, RunOptions& options) {
  std::fprintf(out, "Port, IP, or Base Address? ");
  std::fflush(out);
  if (cli::ReadLine(in, options.address, kAddressLimit)) return Outcome::Continue;
  cli::PrintTooLong(out, "Address", kAddressLimit);
  return Outcome::Exit;
}

Outcome ParseRoute(FILE* out, RunOptions& options) {
  const char* text = options.route_text;
  for (const char* p = text; *p;) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (std::isdigit(c)) {
      uint32_t drop = 0;
      while (std::isdigit(static_cast<unsigned char>(*p))) {
        drop = drop > 0x0FFFFFFF ? 0xFFFFFFFF : drop * 10 + (*p - '0');
        ++p;
      }
      if (options.route.count == 8) {
        std::fprintf(out, "Too many drops in route \"%s\"\n", text);
        return Outcome::Exit;
      }
      options.route.drops[options.route.count++] = static_cast<uint16_t>(drop);
    } else if (c == ' ' || c == ',') {
      ++p;
    } else {
      std::fprintf(out, "Illegal character '%c' in route field \"%s\"\n", c, text);
      return Outcome::Exit;
    }
  }
  return Outcome::Continue;
}

}  // namespace

void PrintBannerLine(FILE* out) {
  std::fprintf(out, "Veltrane Sy/Max Register Editor QUILLET %s\n", "18Jan99");
}

void PrintBanner(FILE* out) {
  PrintBannerLine(out);
  std::fprintf(out, "Type QUILLET -? for more information.\n");
}

bool AsksForVersion(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--version") == 0) return true;
  return false;
}

Outcome ParseCommandLine(int argc, const char* const* argv, FILE* in, FILE* out,
                         RunOptions& options) {
  bool have_address = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--help") == 0) {
      PrintUsage(out);
      return Outcome::ExitSuccess;
    }
    if (IsSwitch(arg)) {
      Outcome outcome = HandleSwitch(arg, out, options);
      if (outcome != Outcome::Continue) return outcome;
    } else if (!have_address) {
      if (!cli::CopyWhole(options.address, kAddressLimit, arg)) {
        cli::PrintTooLong(out, "Address", kAddressLimit);
        return Outcome::Exit;
      }
      have_address = true;
    } else if (!AppendWord(options.route_text, kTextLimit, arg)) {
      cli::PrintTooLong(out, "Route", kTextLimit);
      return Outcome::Exit;
    }
  }
  if (!have_address && ReadAddressLine(in, out, options) == Outcome::Exit) return Outcome::Exit;
  return ParseRoute(out, options);
}

}  // namespace quillet
