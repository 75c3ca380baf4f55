#include "kxtdev/hex_line.h"

namespace kxtdev {
namespace {

int HexDigit(char character) {
  if (character >= '0' && character <= '9') return character - '0';
  if (character >= 'A' && character <= 'F') return character - 'A' + 10;
  if (character >= 'a' && character <= 'f') return character - 'a' + 10;
  return -1;
}

bool Blank(char character) { return character == ' ' || character == '\t'; }

}  // namespace

HexLine ParseHexLine(const char* line) {
  HexLine result;
  if (line == nullptr) return result;
  while (Blank(*line)) ++line;
  unsigned value = 0;
  bool pending = false;
  for (; *line != '\0'; ++line) {
    int digit = HexDigit(*line);
    if (digit >= 0) {
      value = (value * 16 + static_cast<unsigned>(digit)) & 0xFF;
      pending = true;
    } else if (Blank(*line)) {
      result.bytes += static_cast<char>(value);
      value = 0;
      pending = false;
    } else {
      result.invalid_character = static_cast<unsigned char>(*line);
      return result;
    }
  }
  if (pending) result.bytes += static_cast<char>(value);
  return result;
}

}  // namespace kxtdev
