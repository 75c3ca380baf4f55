#include "kxtload/command_line.h"

#include <cctype>
#include <climits>
#include <cstring>

#include "cli/argument_text.h"

namespace kxtload {
namespace {

using cli::AppendWord;
using cli::CopyBounded;
using cli::CopyWhole;
using cli::IsSwitch;
using cli::LeadingDecimal;
using cli::PrintTooLong;

const char* const kUsage =
    "Usage is:\n"
    "  KXTLOAD <channel> <file>[.KXB] COMn:[baud,parity,data,stop] [<route>] switches\n"
    "  KXTLOAD <channel> <file>[.KXB] n.n.n.n[:port] [<route>] [switches] for Modbus TCP.\n"
    "  KXTLOAD <channel> <file>[.KXB] host.dom[:port] [<route>] [switches] for Modbus TCP.\n"
    "  where <channel> is the KXT channel (1 through 4),\n"
    "  COMn: is a PC COM port name (for example COM1:),\n"
    "  n.n.n.n is an IP address in dotted decimal form,\n"
    "  host.dom is an IP host name.\n"
    "\n"
    "Switches:\n"
    "  -A        Enable autostart for download program.\n"
    "  -S<reg>   Move status registers to reg and reg+1\n"
    "  -C<count> Load long program in <count> contiguous channels.\n"
    "  -M<baud>,[E|O|N],[7|8],[1|2]   Set port mode (COM).\n"
    "  -N        Don't erase before loading.\n"
    "  -?        Display this help message.\n";

Outcome HandleSwitch(const char* arg, FILE* out, RunOptions& options) {
  const char* value = arg + 2;
  switch (std::toupper(static_cast<unsigned char>(arg[1]))) {
    case '?':
    case 'H':
      PrintUsage(out);
      return Outcome::ExitSuccess;
    case 'A':
      options.auto_start = true;
      break;
    case 'C':
      options.channel_count = LeadingDecimal(value);
      break;
    case 'M':
      CopyBounded(options.port_settings, kPortSettingsLimit, value);
      break;
    case 'N':
      options.erase = false;
      break;
    case 'S':
      options.status_register = LeadingDecimal(value);
      break;
    default:
      std::fprintf(out, "Unrecognized switch: \"%s\"\n", arg);
      return Outcome::ExitFailure;
  }
  return Outcome::Continue;
}

Outcome HandlePositional(const char* arg, FILE* out, RunOptions& options) {
  if (options.channel == 0) {
    options.channel = LeadingDecimal(arg);
  } else if (!options.file_name[0]) {
    if (!CopyWhole(options.file_name, kFileNameLimit, arg)) {
      PrintTooLong(out, "File name", kFileNameLimit);
      return Outcome::ExitFailure;
    }
  } else if (!options.address[0]) {
    if (!CopyWhole(options.address, kAddressLimit, arg)) {
      PrintTooLong(out, "Address", kAddressLimit);
      return Outcome::ExitFailure;
    }
  } else if (!AppendWord(options.route_text, kTextLimit, arg)) {
    PrintTooLong(out, "Route", kTextLimit);
    return Outcome::ExitFailure;
  }
  return Outcome::Continue;
}

// A line that starts with an unsigned decimal number; anything else is 0.
int32_t LeadingUnsigned(const char* text) {
  while (*text == ' ' || *text == '\t') ++text;
  int64_t value = 0;
  for (; std::isdigit(static_cast<unsigned char>(*text)); ++text)
    if (value <= INT_MAX) value = value * 10 + (*text - '0');
  return value > INT_MAX ? INT_MAX : static_cast<int32_t>(value);
}

}  // namespace

void PrintBanner(FILE* out) { std::fprintf(out, "Veltrane KXT Downloader %s\n", "23Dec98"); }

void PrintUsage(FILE* out) { std::fputs(kUsage, out); }

Outcome ParseArguments(int argc, const char* const* argv, FILE* out, RunOptions& options) {
  // The banner line, printed before the arguments are read, is the version.
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--version") == 0) return Outcome::ExitSuccess;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    Outcome outcome = Outcome::Continue;
    if (std::strcmp(arg, "--help") == 0) {
      PrintUsage(out);
      outcome = Outcome::ExitSuccess;
    } else if (IsSwitch(arg)) {
      outcome = HandleSwitch(arg, out, options);
    } else {
      outcome = HandlePositional(arg, out, options);
    }
    if (outcome != Outcome::Continue) return outcome;
  }
  return Outcome::Continue;
}

bool AskText(FILE* in, FILE* out, const char* prompt, char* text, size_t size) {
  std::fputs(prompt, out);
  std::fflush(out);
  return cli::ReadLine(in, text, size);
}

void AskChannelAndStatusRegister(FILE* in, FILE* out, RunOptions& options) {
  char answer[kTextLimit];
  AskText(in, out, "Channel (1..4)? ", answer, sizeof answer);
  options.channel = LeadingUnsigned(answer);
  AskText(in, out, "Status register (2..2047)? ", answer, sizeof answer);
  options.status_register = LeadingUnsigned(answer);
}

void ParseRoute(RunOptions& options) {
  linklib::Route& route = options.route;
  for (const char* p = options.route_text; *p && route.count < 8;) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (std::isdigit(c)) {
      uint32_t drop = 0;
      for (; std::isdigit(static_cast<unsigned char>(*p)); ++p)
        drop = drop > 0xFFFF ? drop : drop * 10 + (*p - '0');
      // A drop too large for its 16 bits becomes the largest, never a
      // smaller number that could name another device.
      route.drops[route.count++] = static_cast<uint16_t>(drop > 0xFFFF ? 0xFFFF : drop);
      continue;
    }
    if (c == 'N' || c == 'n') options.net_to_net = true;
    if (c == 'G' || c == 'g') options.gateway = true;
    ++p;
  }
}

}  // namespace kxtload
