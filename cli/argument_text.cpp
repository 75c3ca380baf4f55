#include "cli/argument_text.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>

namespace cli {

bool IsSwitch(const char* arg) {
  if (arg[0] == '-') return true;
  return arg[0] == '/' && std::strchr(arg + 1, '/') == nullptr;
}

void CopyBounded(char* to, size_t size, const char* from) { std::snprintf(to, size, "%s", from); }

void AppendWord(char* text, size_t size, const char* word) {
  size_t used = std::strlen(text);
  if (used > 0 && used + 1 < size) text[used++] = ' ';
  if (used < size) CopyBounded(text + used, size - used, word);
}

int32_t LeadingDecimal(const char* text) {
  while (std::isspace(static_cast<unsigned char>(*text))) ++text;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  int64_t value = 0;
  for (; std::isdigit(static_cast<unsigned char>(*text)); ++text)
    if (value <= INT_MAX) value = value * 10 + (*text - '0');
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int32_t>(value);
}

uint32_t LeadingHex(const char* text) {
  uint64_t value = 0;
  for (; std::isxdigit(static_cast<unsigned char>(*text)); ++text) {
    int c = std::toupper(static_cast<unsigned char>(*text));
    if (value <= 0xFFFFFFFF) value = value * 16 + (std::isdigit(c) ? c - '0' : c - 'A' + 10);
  }
  return value > 0xFFFFFFFF ? 0xFFFFFFFF : static_cast<uint32_t>(value);
}

}  // namespace cli
