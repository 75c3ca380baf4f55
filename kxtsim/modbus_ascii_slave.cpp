#include "kxtsim/modbus_ascii_slave.h"

namespace kxtsim {
namespace {

constexpr size_t kMaxFrameBytes = 1 + 263 + 1;  // address, data unit, LRC

int DigitValue(uint8_t character) {
  if (character >= '0' && character <= '9') return character - '0';
  if (character >= 'A' && character <= 'F') return character - 'A' + 10;
  if (character >= 'a' && character <= 'f') return character - 'a' + 10;
  return -1;
}

void PutHex(std::vector<uint8_t>& out, uint8_t byte) {
  static const char kDigits[] = "0123456789ABCDEF";
  out.push_back(static_cast<uint8_t>(kDigits[byte >> 4]));
  out.push_back(static_cast<uint8_t>(kDigits[byte & 0x0F]));
}

uint8_t Lrc(const std::vector<uint8_t>& bytes) {
  uint8_t sum = 0;
  for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
  return static_cast<uint8_t>(-sum);
}

}  // namespace

ModbusAsciiSlave::ModbusAsciiSlave(ModuleModel& model, ReplyFaults& faults, uint8_t unit,
                                   RequestLog log)
    : server_(model, faults, unit, std::move(log), "ascii") {}

void ModbusAsciiSlave::Receive(uint8_t byte, uint64_t now_ms) {
  byte &= 0x7F;
  if (byte == ':') {
    in_frame_ = true;
    bytes_.clear();
    high_digit_ = -1;
    return;
  }
  if (!in_frame_) return;
  if (byte == '\r' || byte == '\n') {
    in_frame_ = false;
    EndFrame(now_ms);
    return;
  }
  int value = DigitValue(byte);
  if (value < 0 || (high_digit_ < 0 && bytes_.size() >= kMaxFrameBytes)) {
    in_frame_ = false;  // not a frame: dropped
    return;
  }
  if (high_digit_ < 0) {
    high_digit_ = value;
  } else {
    bytes_.push_back(static_cast<uint8_t>(high_digit_ << 4 | value));
    high_digit_ = -1;
  }
}

void ModbusAsciiSlave::EndFrame(uint64_t now_ms) {
  if (high_digit_ >= 0 || bytes_.size() < 3) return;
  uint8_t sum = 0;
  for (uint8_t b : bytes_) sum = static_cast<uint8_t>(sum + b);
  if (sum != 0) return;  // LRC error: dropped silently
  bytes_.pop_back();
  auto reply = server_.Serve(bytes_);
  if (!reply) return;
  uint8_t lrc = Lrc(*reply);
  if (server_.faults().NextFrameCorrupted()) lrc ^= 0x5A;
  std::vector<uint8_t> line{':'};
  for (uint8_t b : *reply) PutHex(line, b);
  PutHex(line, lrc);
  line.push_back('\r');
  line.push_back('\n');
  replies_.Add(now_ms + static_cast<uint64_t>(server_.faults().options().delay_ms),
               std::move(line));
}

}  // namespace kxtsim
