#include "kxtsim/modbus_rtu_slave.h"

#include "kxtsim/symax_check.h"

namespace kxtsim {
namespace {

// Address, 1 + 6 + 256 bytes of the largest data unit, CRC.
constexpr size_t kMaxFrame = 1 + 263 + 2;

}  // namespace

ModbusRtuSlave::ModbusRtuSlave(ModuleModel& model, ReplyFaults& faults, uint8_t unit,
                               RequestLog log)
    : server_(model, faults, unit, std::move(log), "rtu") {}

size_t ModbusRtuSlave::ExpectedLength() const {
  if (frame_.size() < 2) return 0;
  switch (frame_[1]) {
    case 0x03:
    case 0x04:
      return 8;
    case 0x10:
      // From the register count: the byte count holds only its low byte.
      return frame_.size() >= 6 ? 7 + 2 * static_cast<size_t>((frame_[4] << 8) | frame_[5]) + 2 : 0;
    case 0x14:
    case 0x15:
      return frame_.size() >= 3 ? 3 + static_cast<size_t>(frame_[2]) + 2 : 0;
    default:
      return 0;
  }
}

bool ModbusRtuSlave::CrcGood() const {
  return frame_.size() >= 4 && Crc16(frame_.data(), frame_.size()) == 0;
}

void ModbusRtuSlave::Receive(uint8_t byte, uint64_t now_ms) {
  if (overflowed_) return;
  if (frame_.size() >= kMaxFrame) {
    overflowed_ = true;  // the rest of this frame is dropped until the line goes quiet
    frame_.clear();
    return;
  }
  frame_.push_back(byte);
  // A request whose length its own bytes tell ends without waiting for the
  // gap; a wrong guess (a length byte that wrapped) waits for the gap.
  if (frame_.size() == ExpectedLength() && CrcGood()) EndFrame(now_ms);
}

void ModbusRtuSlave::LineQuiet(uint64_t now_ms) {
  overflowed_ = false;
  if (!frame_.empty()) EndFrame(now_ms);
}

void ModbusRtuSlave::EndFrame(uint64_t now_ms) {
  std::vector<uint8_t> frame;
  frame.swap(frame_);
  if (frame.size() < 4 || Crc16(frame.data(), frame.size()) != 0) return;  // silently dropped
  frame.resize(frame.size() - 2);
  auto reply = server_.Serve(frame);
  if (!reply) return;
  uint16_t crc = Crc16(reply->data(), reply->size());
  if (server_.faults().NextFrameCorrupted()) crc ^= 0x5A5A;
  reply->push_back(static_cast<uint8_t>(crc & 0xFF));
  reply->push_back(static_cast<uint8_t>(crc >> 8));
  replies_.Add(now_ms + static_cast<uint64_t>(server_.faults().options().delay_ms),
               std::move(*reply));
}

}  // namespace kxtsim
