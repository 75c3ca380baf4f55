// The slave side of one serial protocol as plain code: bytes in, bytes out,
// and the time passed in, so that it is tested without a port.
#pragma once

#include <cstdint>
#include <optional>

namespace kxtsim {

class SerialSlave {
 public:
  virtual ~SerialSlave() = default;
  // One received byte.
  virtual void Receive(uint8_t byte, uint64_t now_ms) = 0;
  // The line has been quiet for the frame gap since the last received byte.
  virtual void LineQuiet(uint64_t /*now_ms*/) {}
  // The next byte to send when the line is free; false when there is none.
  virtual bool NextByte(uint64_t now_ms, uint8_t& byte) = 0;
  // When NextByte gave nothing: the time at which it will have a byte
  // without further input (a held-back reply), if any.
  virtual std::optional<uint64_t> NextOutputTime() const { return std::nullopt; }
};

}  // namespace kxtsim
