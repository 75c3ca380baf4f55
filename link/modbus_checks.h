// The two frame checks of Modbus serial links: the CRC-16 of RTU frames and
// the LRC of ASCII frames, and the hexadecimal digits of ASCII frames.
#pragma once

#include <cstddef>
#include <cstdint>

namespace linklib {

// One table-driven step of the Modbus CRC-16 (reflected polynomial 0xA001).
uint16_t ModbusCrcStep(uint16_t crc, uint8_t byte);
// CRC-16 of a run of bytes, starting from 0xFFFF. Sent low byte first; over a
// frame that ends with its own CRC the result is 0.
uint16_t ModbusCrc(const uint8_t* bytes, size_t count);
// Two's complement of the 8-bit sum of the bytes.
uint8_t ModbusLrc(const uint8_t* bytes, size_t count);

// Upper-case hexadecimal digit of the low four bits.
uint8_t HexDigit(unsigned nibble);
// Value of a received ASCII digit: 0-9 and A-F count 0 to 15; every other
// printable character (lower-case letters included) counts 0.
uint8_t AsciiDigitValue(uint8_t character);

}  // namespace linklib
