#include "link/modbus_checks.h"

#include <array>

namespace linklib {
namespace {

constexpr std::array<uint16_t, 256> MakeCrcTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    uint16_t crc = static_cast<uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    table[i] = crc;
  }
  return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

}  // namespace

uint16_t ModbusCrcStep(uint16_t crc, uint8_t byte) {
  return static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ byte) & 0xFF]);
}

uint16_t ModbusCrc(const uint8_t* bytes, size_t count) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < count; ++i) crc = ModbusCrcStep(crc, bytes[i]);
  return crc;
}

uint8_t ModbusLrc(const uint8_t* bytes, size_t count) {
  uint8_t sum = 0;
  for (size_t i = 0; i < count; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
  return static_cast<uint8_t>(-sum);
}

uint8_t HexDigit(unsigned nibble) {
  nibble &= 0x0F;
  return static_cast<uint8_t>(nibble < 10 ? '0' + nibble : 'A' + nibble - 10);
}

uint8_t AsciiDigitValue(uint8_t character) {
  if (character >= '0' && character <= '9') return static_cast<uint8_t>(character - '0');
  if (character >= 'A' && character <= 'F') return static_cast<uint8_t>(character - 'A' + 10);
  return 0;
}

}  // namespace linklib
