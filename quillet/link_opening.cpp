#include "quillet/link_opening.h"

#include <cstring>

#include "cli/address_text.h"
#include "cli/argument_text.h"

namespace quillet {
namespace {

// The whole address is a leading part of `name` ("S" and "SFI" of "SFI610").
bool IsLeadingPartOf(const char* address, const char* name) {
  size_t length = std::strlen(address);
  return length <= std::strlen(name) && std::strncmp(address, name, length) == 0;
}

bool IsSylinkSegment(const char* address) {
  const char* digits = address;
  if (digits[0] == '0' && digits[1] == 'X') digits += 2;
  uint32_t segment = cli::LeadingHex(digits);
  return segment >= 0xCA00 && segment <= 0xD300;
}

Outcome OpenSerial(RunOptions& options, const char* port_name, FILE* out) {
  using linklib::Route;
  bool modbus = !options.gateway && options.modbus_mode != ModbusMode::None;
  options.highest_register = modbus ? 65535 : 8192;
  if (options.gateway) {
    options.link = linklib::OpenGateway(port_name, &options.route);
    if (!options.link) {
      std::fprintf(out, "Can't OpenGateway(%s).\n", port_name);
      return Outcome::Exit;
    }
  } else if (modbus) {
    if (options.route.count != 1) {
      std::fprintf(out, "Modbus route must have exactly one drop.\n");
      return Outcome::Exit;
    }
    bool rtu = options.modbus_mode == ModbusMode::Rtu;
    uint16_t slave = options.route.drops[0];
    options.link =
        rtu ? linklib::OpenModbusRTU(port_name, slave) : linklib::OpenModbusAscii(port_name, slave);
    if (!options.link) {
      std::fprintf(out, rtu ? "Can't OpenModbusRTU(%s).\n" : "Can't OpenModbusAscii(%s).\n",
                   port_name);
      return Outcome::Exit;
    }
  } else {
    options.link = linklib::OpenSymax(port_name, options.net_to_net, &options.route);
    if (!options.link) {
      std::fprintf(out, "Can't OpenSymax(%s).\n", port_name);
      return Outcome::Exit;
    }
  }
  if (options.port_settings[0] && !linklib::ParsePortSettings(options.port_settings, options.link))
    return Outcome::Exit;
  return Outcome::Continue;
}

Outcome OpenComPort(RunOptions& options, FILE* out) {
  cli::TakeComPortSettings(options.address, options.port_settings_given, options.port_settings,
                           kPortSettingsLimit, out);
  if (!options.port_settings[0])
    std::fprintf(out, "Use MODE to set port parameters before running QUILLET.\n");
  return OpenSerial(options, options.address, out);
}

Outcome OpenTcp(RunOptions& options, FILE* out) {
  bool port_fits = cli::SplitHostAndPort(options.address, options.tcp_port);
  if (options.route.count > 1) {
    std::fprintf(out, "Modbus TCP route can only have one drop.\n");
    return Outcome::Exit;
  }
  uint16_t unit = options.route.count == 1 ? options.route.drops[0] : 0;
  options.highest_register = 65535;
  options.link = port_fits ? linklib::OpenModbusTCP(options.address,
                                                    static_cast<uint16_t>(options.tcp_port), unit)
                           : nullptr;
  if (!options.link) {
    std::fprintf(out, "Can't open TCP connection to %s:%u\n", options.address, options.tcp_port);
    return Outcome::Exit;
  }
  return Outcome::Continue;
}

Outcome OpenCard(RunOptions& options, FILE* out) {
  const char* address = options.address;
  if (IsSylinkSegment(address)) {
    const char* digits = address[0] == '0' && address[1] == 'X' ? address + 2 : address;
    options.link = linklib::OpenSylink(cli::LeadingHex(digits), options.net_to_net, &options.route);
    if (!options.link) {
      std::fprintf(out, "Can't OpenSylink(%s).\n", address);
      return Outcome::Exit;
    }
    if (!linklib::SetSylinkSpeed(options.link, options.synet_speed, options.synet_size)) {
      std::fprintf(out, "%s\n", linklib::LinkMessage(options.link));
      return Outcome::Exit;
    }
    return Outcome::Continue;
  }
  if (IsLeadingPartOf(address, "SFI610")) {
    options.link = linklib::OpenSFI610(&options.route);
    if (!options.link) std::fprintf(out, "Can't access SFI610.\n");
  } else {
    options.link = linklib::OpenSA85(IsLeadingPartOf(address, "SA85:0") ? 0 : 1, &options.route);
    options.highest_register = 65535;
    if (!options.link) std::fprintf(out, "Can't access SA85.\n");
  }
  return options.link ? Outcome::Continue : Outcome::Exit;
}

bool IsCardForm(const char* address) {
  return IsSylinkSegment(address) || IsLeadingPartOf(address, "SFI610") ||
         IsLeadingPartOf(address, "SA85:0") || IsLeadingPartOf(address, "SA85:1");
}

Outcome OpenByAddress(RunOptions& options, FILE* out) {
  switch (cli::ClassifyAddress(options.address)) {
    case cli::AddressForm::DevicePath:  // its settings come from -M
      if (!options.port_settings[0])
        std::fprintf(out, "Use MODE to set port parameters before running QUILLET.\n");
      return OpenSerial(options, options.address, out);
    case cli::AddressForm::ComPort:
      return OpenComPort(options, out);
    case cli::AddressForm::Other:
      break;
  }
  if (IsCardForm(options.address)) return OpenCard(options, out);
  if (std::strchr(options.address, '.')) return OpenTcp(options, out);
  std::fprintf(out, "Illegal Port or Base Address \"%s\"\n", options.address);
  return Outcome::Exit;
}

}  // namespace

Outcome OpenLinkFromOptions(RunOptions& options, FILE* out) {
  if (OpenByAddress(options, out) == Outcome::Exit) return Outcome::Exit;
  if (options.start_register < 1 || options.start_register > options.highest_register) {
    std::fprintf(out, "Illegal start register %u\n", options.start_register);
    linklib::CloseLink(options.link);
    options.link = nullptr;
    return Outcome::Exit;
  }
  return Outcome::Continue;
}

}  // namespace quillet
