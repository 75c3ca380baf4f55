#include "kxtload/link_opening.h"

#include <cctype>
#include <cstring>

namespace kxtload {
namespace {

using linklib::LinkHandle;

// "COM", one character, then ":" (COM1: to COM9:; COM10: is not one).
bool IsComForm(const char* address) {
  return std::strncmp(address, "COM", 3) == 0 && address[3] != '\0' && address[4] == ':';
}

LinkHandle* OpenSerial(RunOptions& options, const char* port_name, FILE* out) {
  if (!options.port_settings[0])
    std::snprintf(options.port_settings, kPortSettingsLimit, "%s", kDefaultPortSettings);
  LinkHandle* link = nullptr;
  if (options.gateway) {
    link = linklib::OpenGateway(port_name, &options.route);
    if (!link) std::fprintf(out, "Can't OpenGateway(%s).\n", port_name);
  } else {
    link = linklib::OpenSymax(port_name, options.net_to_net ? 1 : 0, &options.route);
    if (!link) std::fprintf(out, "Can't OpenSymax(%s).\n", port_name);
  }
  if (!link) return nullptr;
  // ParsePortSettings prints its own message when it refuses the settings.
  std::fflush(out);
  if (!linklib::ParsePortSettings(options.port_settings, link)) {
    linklib::CloseLink(link);
    return nullptr;
  }
  return link;
}

// The text after "COMn:" is setup information and wins over -M.
LinkHandle* OpenComPort(RunOptions& options, FILE* out) {
  char* settings = options.address + 5;
  if (*settings) {
    if (options.port_settings[0]) {
      std::fprintf(out, "\nWhen using -M, don't provide setup information after %5.5s\n",
                   options.address);
      std::fprintf(out, "  Using settings: %s\n\n", settings);
    }
    std::snprintf(options.port_settings, kPortSettingsLimit, "%s", settings);
    *settings = '\0';
  }
  return OpenSerial(options, options.address, out);
}

LinkHandle* OpenTcp(RunOptions& options, FILE* out) {
  if (char* colon = std::strchr(options.address, ':')) {
    uint32_t port = 0;
    for (const char* p = colon + 1; std::isdigit(static_cast<unsigned char>(*p)); ++p)
      port = port > 0xFFFF ? port : port * 10 + static_cast<uint32_t>(*p - '0');
    options.tcp_port = port;
    *colon = '\0';
  }
  if (options.route.count > 1) {
    std::fprintf(out, "Modbus TCP route can only have one drop.\n");
    return nullptr;
  }
  uint16_t unit = options.route.count == 1 ? options.route.drops[0] : 0;
  // A port number beyond 16 bits is refused rather than wrapped onto
  // another port.
  LinkHandle* link =
      options.tcp_port <= 0xFFFF
          ? linklib::OpenModbusTCP(options.address, static_cast<uint16_t>(options.tcp_port), unit)
          : nullptr;
  if (!link)
    std::fprintf(out, "Can't open TCP connection to %s:%u\n", options.address, options.tcp_port);
  return link;
}

}  // namespace

LinkHandle* OpenLinkFromOptions(RunOptions& options, FILE* out) {
  // A serial device path (/dev/ttyUSB0, a pseudo-terminal) is taken whole and
  // as typed, Linux paths being case-sensitive; its settings come from -M.
  if (options.address[0] == '/') return OpenSerial(options, options.address, out);
  for (char* p = options.address; *p; ++p) *p = std::toupper(static_cast<unsigned char>(*p));
  if (IsComForm(options.address)) return OpenComPort(options, out);
  if (std::strchr(options.address, '.')) return OpenTcp(options, out);
  std::fprintf(out, "Illegal Port or Base Address \"%s\"\n", options.address);
  return nullptr;
}

}  // namespace kxtload
