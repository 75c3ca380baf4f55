#include "kxtload/link_opening.h"

#include <cstring>

#include "cli/address_text.h"

namespace kxtload {
namespace {

using linklib::LinkHandle;

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

LinkHandle* OpenComPort(RunOptions& options, FILE* out) {
  cli::TakeComPortSettings(options.address, options.port_settings[0] != '\0', options.port_settings,
                           kPortSettingsLimit, out);
  return OpenSerial(options, options.address, out);
}

LinkHandle* OpenTcp(RunOptions& options, FILE* out) {
  bool port_fits = cli::SplitHostAndPort(options.address, options.tcp_port);
  if (options.route.count > 1) {
    std::fprintf(out, "Modbus TCP route can only have one drop.\n");
    return nullptr;
  }
  uint16_t unit = options.route.count == 1 ? options.route.drops[0] : 0;
  LinkHandle* link = port_fits ? linklib::OpenModbusTCP(
                                     options.address, static_cast<uint16_t>(options.tcp_port), unit)
                               : nullptr;
  if (!link)
    std::fprintf(out, "Can't open TCP connection to %s:%u\n", options.address, options.tcp_port);
  return link;
}

}  // namespace

LinkHandle* OpenLinkFromOptions(RunOptions& options, FILE* out) {
  switch (cli::ClassifyAddress(options.address)) {
    case cli::AddressForm::DevicePath:  // its settings come from -M
      return OpenSerial(options, options.address, out);
    case cli::AddressForm::ComPort:
      return OpenComPort(options, out);
    case cli::AddressForm::Other:
      break;
  }
  if (std::strchr(options.address, '.')) return OpenTcp(options, out);
  std::fprintf(out, "Illegal Port or Base Address \"%s\"\n", options.address);
  return nullptr;
}

}  // namespace kxtload
