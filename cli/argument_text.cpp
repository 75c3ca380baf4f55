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

bool CopyWhole(char* to, size_t size, const char* from) {
  size_t length = std::strlen(from);
  if (length >= size) return false;
  std::memcpy(to, from, length + 1);
  return true;
}

bool AppendWord(char* text, size_t size, const char* word) {
  size_t used = std::strlen(text);
  size_t blank = used > 0 ? 1 : 0;
  if (used + blank + std::strlen(word) >= size) return false;
  if (blank) text[used++] = ' ';
  return CopyWhole(text + used, size - used, word);
}

void PrintTooLong(FILE* out, const char* what, size_t size) {
  std::fprintf(out, "%s too long: at most %zu characters.\n", what, size - 1);
}

bool ReadLine(FILE* in, char* text, size_t size) {
  text[0] = '\0';
  if (!std::fgets(text, static_cast<int>(size), in)) return true;
  bool whole = std::strchr(text, '\n') != nullptr;
  text[std::strcspn(text, "\r\n")] = '\0';
  if (whole) return true;
  // The text is full: only a line break (or the end of input) may follow.
  int c = std::fgetc(in);
  if (c == '\r') c = std::fgetc(in);
  bool fits = c == EOF || c == '\n';
  while (c != EOF && c != '\n') c = std::fgetc(in);
  return fits;
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
