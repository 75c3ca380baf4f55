#include "kxtsim/modbus_tcp_session.h"

#include <cstdio>
#include <string>

#include "kxtsim/modbus_pdu.h"

namespace kxtsim {
namespace {

constexpr size_t kHeaderBytes = 6;  // transaction, protocol, length
// The length field counts the unit byte and the data unit. The module takes
// requests of up to 128 registers, a little beyond the usual 254.
constexpr size_t kMinLengthField = 2;
constexpr size_t kMaxLengthField = 300;

}  // namespace

ModbusTcpSession::ModbusTcpSession(ModuleModel& model, ReplyFaults& faults, RequestLog log)
    : model_(model), faults_(faults), log_(std::move(log)) {}

bool ModbusTcpSession::Receive(const uint8_t* data, size_t length, uint64_t now_ms) {
  input_.insert(input_.end(), data, data + length);
  size_t used = 0;
  while (input_.size() - used >= kHeaderBytes) {
    const uint8_t* header = input_.data() + used;
    size_t length_field = static_cast<size_t>((header[4] << 8) | header[5]);
    if (header[2] != 0 || header[3] != 0 || length_field < kMinLengthField ||
        length_field > kMaxLengthField) {
      return false;
    }
    if (input_.size() - used < kHeaderBytes + length_field) break;
    if (!ServeOne(header, kHeaderBytes + length_field, now_ms)) return false;
    used += kHeaderBytes + length_field;
  }
  input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(used));
  return true;
}

bool ModbusTcpSession::ServeOne(const uint8_t* adu, size_t length, uint64_t now_ms) {
  const uint8_t* pdu = adu + kHeaderBytes + 1;
  size_t pdu_length = length - kHeaderBytes - 1;
  std::string description;
  std::vector<uint8_t> reply_pdu = ServeModbusPdu(model_, pdu, pdu_length, &description);
  if (faults_.NextRequestGetsException()) {
    reply_pdu = ModbusException(pdu[0], static_cast<uint8_t>(faults_.options().exception_code));
  }
  bool dropped = faults_.NextReplyDropped();
  if (log_) {
    char outcome[48] = "";
    if (reply_pdu[0] & 0x80)
      std::snprintf(outcome, sizeof outcome, " -> exception %u", reply_pdu[1]);
    char line[200];
    std::snprintf(line, sizeof line, "tcp unit %u %s%s%s", adu[6], description.c_str(), outcome,
                  dropped ? " (reply dropped)" : "");
    log_(line);
  }
  if (dropped) return true;
  size_t length_field = reply_pdu.size() + 1;
  std::vector<uint8_t> reply{adu[0],
                             adu[1],
                             0,
                             0,
                             static_cast<uint8_t>(length_field >> 8),
                             static_cast<uint8_t>(length_field & 0xFF),
                             adu[6]};
  reply.insert(reply.end(), reply_pdu.begin(), reply_pdu.end());
  pending_.push_back({now_ms + static_cast<uint64_t>(faults_.options().delay_ms), reply});
  return true;
}

void ModbusTcpSession::TakeDueReplies(uint64_t now_ms, std::vector<uint8_t>& out) {
  while (!pending_.empty() && pending_.front().due_ms <= now_ms) {
    out.insert(out.end(), pending_.front().bytes.begin(), pending_.front().bytes.end());
    pending_.pop_front();
  }
}

std::optional<uint64_t> ModbusTcpSession::NextDue() const {
  if (pending_.empty()) return std::nullopt;
  return pending_.front().due_ms;
}

}  // namespace kxtsim
