#include "kxtsim/modbus_serial_slave.h"

#include <cstdio>
#include <string>

#include "kxtsim/modbus_pdu.h"

namespace kxtsim {
namespace {

constexpr uint8_t kBroadcast = 0;

}  // namespace

std::optional<std::vector<uint8_t>> ModbusRequestServer::Serve(const std::vector<uint8_t>& frame) {
  if (frame.size() < 2) return std::nullopt;
  uint8_t address = frame[0];
  if (address != unit_ && address != kBroadcast) return std::nullopt;
  std::string description;
  std::vector<uint8_t> pdu =
      ServeModbusPdu(model_, frame.data() + 1, frame.size() - 1, &description);
  if (address == kBroadcast) {
    if (log_) log_(std::string(transport_) + " broadcast " + description);
    return std::nullopt;
  }
  if (faults_.NextRequestGetsException()) {
    pdu = ModbusException(frame[1], static_cast<uint8_t>(faults_.options().exception_code));
  }
  bool dropped = faults_.NextReplyDropped();
  if (log_) {
    char outcome[48] = "";
    if (pdu[0] & 0x80) std::snprintf(outcome, sizeof outcome, " -> exception %u", pdu[1]);
    char line[200];
    std::snprintf(line, sizeof line, "%s slave %u %s%s%s", transport_, address, description.c_str(),
                  outcome, dropped ? " (reply dropped)" : "");
    log_(line);
  }
  if (dropped) return std::nullopt;
  std::vector<uint8_t> reply{address};
  reply.insert(reply.end(), pdu.begin(), pdu.end());
  return reply;
}

}  // namespace kxtsim
