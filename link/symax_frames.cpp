// Frame check and route characters of Sy/Max frames.
#include <array>

#include "link/symax_protocol.h"

namespace linklib::symax {
namespace {

constexpr std::array<uint16_t, 256> MakeCrcTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    uint16_t value = static_cast<uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit)
      value = (value & 1) ? static_cast<uint16_t>((value >> 1) ^ 0xA001)
                          : static_cast<uint16_t>(value >> 1);
    table[i] = value;
  }
  return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsHexDigit(uint8_t c) {
  c &= 0x7F;
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

}  // namespace

uint16_t CheckStep(uint16_t check, uint8_t byte, bool crc) {
  if (crc) return static_cast<uint16_t>((check >> 8) ^ kCrcTable[(check ^ byte) & 0xFF]);
  return static_cast<uint16_t>(check - byte);
}

void EncodeRoute(const Route& route, uint8_t* address) {
  unsigned drops = route.count < 8 ? route.count : 8;
  uint8_t* out = address;
  for (unsigned i = 0; i < drops; ++i) {
    uint16_t drop = route.drops[i];
    uint8_t high = static_cast<uint8_t>(kHexDigits[(drop >> 4) & 0x0F]);
    if (drop & 0x8000) high |= 0x80;  // the Net-to-Net mark
    *out++ = high;
    *out++ = static_cast<uint8_t>(kHexDigits[drop & 0x0F]);
  }
  *out++ = kRouteEnd;
  *out = kRouteEnd;
}

bool IsValidRoute(const uint8_t* address) {
  for (unsigned i = 0; i + 1 < kRouteRoom + 2; i += 2) {
    if (address[i] == kRouteEnd) return true;
    if (!IsHexDigit(address[i]) || !IsHexDigit(address[i + 1])) return false;
  }
  return false;
}

}  // namespace linklib::symax
