// The two frame checks of the Sy/Max serial line.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kxtsim {

// Without the CRC option: the accumulated byte sum; the check byte sent is
// its two's complement, so that all checked bytes and the check add to 0.
// With it: CRC-16 (reflected polynomial 0xA001, starting at 0xFFFF), sent
// high byte first.
class SymaxCheck {
 public:
  explicit SymaxCheck(bool crc) : crc_(crc), value_(crc ? 0xFFFF : 0) {}
  void Add(uint8_t byte);
  // The check bytes as sent: 1 without CRC, 2 with it (high byte first).
  int Size() const { return crc_ ? 2 : 1; }
  uint8_t Byte(int index) const;

 private:
  bool crc_;
  uint16_t value_;
};

// The Modbus CRC-16 (same polynomial), for the RTU slave.
uint16_t Crc16(const uint8_t* data, size_t length);

}  // namespace kxtsim
