#include "kxtsim/gateway_slave.h"

#include <cctype>
#include <cstdio>

#include "kxtsim/symax_requests.h"

namespace kxtsim {
namespace {

// The longest command a master sends: a W of 128 five-digit values (about
// 775 characters), with room to spare. Longer lines are refused.
constexpr size_t kMaxLine = 1024;
constexpr size_t kMaxDrops = 8;
constexpr uint32_t kHighestGatewayRegister = 8192;
constexpr uint32_t kMaxRegisters = 128;

// Reads the blank-separated unsigned numbers after the command letter.
// False when anything else is found or a number exceeds `highest`.
bool ParseNumbers(const std::string& text, unsigned long highest, std::vector<unsigned long>& out) {
  size_t at = 1;
  for (;;) {
    while (at < text.size() && (text[at] == ' ' || text[at] == ',')) ++at;
    if (at == text.size()) return true;
    if (!std::isdigit(static_cast<unsigned char>(text[at]))) return false;
    unsigned long value = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
      value = value * 10 + static_cast<unsigned long>(text[at] - '0');
      if (value > highest) return false;
      ++at;
    }
    out.push_back(value);
  }
}

std::string ErrorLine(unsigned status) {
  char text[32];
  std::snprintf(text, sizeof text, "ERROR %u\r", status);
  return text;
}

}  // namespace

GatewaySlave::GatewaySlave(ModuleModel& model, ReplyFaults& faults, RequestLog log)
    : model_(model), faults_(faults), log_(std::move(log)) {}

void GatewaySlave::Receive(uint8_t byte, uint64_t now_ms) {
  byte &= 0x7F;
  if (byte >= 0x20) {
    if (line_.size() >= kMaxLine) {
      overflowed_ = true;
    } else {
      line_.push_back(static_cast<char>(byte));
    }
    return;
  }
  if (byte != '\r') return;  // LF and other control characters are ignored
  std::string line;
  line.swap(line_);
  bool overflowed = overflowed_;
  overflowed_ = false;
  if (line.empty()) return;
  std::string description = line;
  std::string reply = overflowed ? ErrorLine(kStatusInsufficientData) : Serve(line, description);
  bool dropped = faults_.NextReplyDropped();
  if (log_) log_("gateway " + description + (dropped ? " (reply dropped)" : ""));
  if (dropped) return;
  std::vector<uint8_t> bytes;
  bytes.reserve(reply.size());
  for (char c : reply) bytes.push_back(static_cast<uint8_t>(c));
  replies_.Add(now_ms + static_cast<uint64_t>(faults_.options().delay_ms), std::move(bytes));
}

std::string GatewaySlave::Serve(const std::string& line, std::string& description) {
  char command = static_cast<char>(std::toupper(static_cast<unsigned char>(line[0])));
  std::vector<unsigned long> numbers;
  if (command == 'A') {
    if (!ParseNumbers(line, 255, numbers) || numbers.size() > kMaxDrops) {
      return ErrorLine(kStatusIllegalRoute);
    }
    route_.assign(numbers.begin(), numbers.end());
    route_announced_ = true;
    description = "route " + line.substr(1);
    return "\r";
  }
  if (command != 'R' && command != 'W') return ErrorLine(kStatusIllegalOpcode);
  if (!route_announced_) return ErrorLine(kStatusIllegalRoute);
  if (faults_.NextRequestGetsError())
    return ErrorLine(static_cast<unsigned>(faults_.options().error_status));
  if (!ParseNumbers(line, 65535, numbers) || numbers.size() < 2) {
    return ErrorLine(kStatusInsufficientData);
  }
  uint32_t first = static_cast<uint32_t>(numbers[0]);
  uint32_t count = command == 'R' ? static_cast<uint32_t>(numbers[1])
                                  : static_cast<uint32_t>(numbers.size() - 1);
  char text[64];
  std::snprintf(text, sizeof text, "%s %u x%u", command == 'R' ? "read" : "write", first, count);
  description = text;
  if (count == 0 || count > kMaxRegisters) return ErrorLine(kStatusRegisterCountTooLarge);
  if (first == 0 || first + count - 1 > kHighestGatewayRegister) {
    return ErrorLine(kStatusIllegalAddress);
  }
  uint16_t words[kMaxRegisters];
  if (command == 'W') {
    for (uint32_t i = 0; i < count; ++i) words[i] = static_cast<uint16_t>(numbers[i + 1]);
    model_.WriteRegisters(first, count, words);
    return "\r";
  }
  if (numbers.size() != 2) return ErrorLine(kStatusInsufficientData);
  model_.ReadRegisters(first, count, words);
  std::string reply;
  for (uint32_t i = 0; i < count; ++i) {
    reply += (i == 0 ? "" : " ") + std::to_string(words[i]);
  }
  return reply + "\r";
}

}  // namespace kxtsim
