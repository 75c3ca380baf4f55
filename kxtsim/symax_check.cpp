#include "kxtsim/symax_check.h"

#include <cstddef>

namespace kxtsim {
namespace {

uint16_t CrcStep(uint16_t crc, uint8_t byte) {
  crc ^= byte;
  for (int bit = 0; bit < 8; ++bit) {
    crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
  }
  return crc;
}

}  // namespace

void SymaxCheck::Add(uint8_t byte) {
  value_ = crc_ ? CrcStep(value_, byte) : static_cast<uint16_t>(value_ + byte);
}

uint8_t SymaxCheck::Byte(int index) const {
  if (!crc_) return static_cast<uint8_t>(-value_ & 0xFF);
  return index == 0 ? static_cast<uint8_t>(value_ >> 8) : static_cast<uint8_t>(value_ & 0xFF);
}

uint16_t Crc16(const uint8_t* data, size_t length) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < length; ++i) crc = CrcStep(crc, data[i]);
  return crc;
}

}  // namespace kxtsim
