#include "cli/address_text.h"

#include <cctype>
#include <cstring>

namespace cli {

AddressForm ClassifyAddress(char* address) {
  if (address[0] == '/') return AddressForm::DevicePath;
  for (char* p = address; *p; ++p)
    *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  if (std::strncmp(address, "COM", 3) == 0 && address[3] != '\0' && address[4] == ':')
    return AddressForm::ComPort;
  return AddressForm::Other;
}

void TakeComPortSettings(char* address, bool settings_given, char* settings, size_t size,
                         FILE* out) {
  char* text = address + 5;
  if (!*text) return;
  if (settings_given) {
    std::fprintf(out, "\nWhen using -M, don't provide setup information after %5.5s\n", address);
    std::fprintf(out, "  Using settings: %s\n\n", text);
  }
  std::snprintf(settings, size, "%s", text);
  *text = '\0';
}

bool SplitHostAndPort(char* address, uint32_t& port) {
  char* colon = std::strchr(address, ':');
  if (!colon) return port <= 0xFFFF;
  uint64_t value = 0;
  for (const char* p = colon + 1; std::isdigit(static_cast<unsigned char>(*p)); ++p)
    if (value <= 0xFFFFFFFF) value = value * 10 + static_cast<uint64_t>(*p - '0');
  port = value > 0xFFFFFFFF ? 0xFFFFFFFF : static_cast<uint32_t>(value);
  *colon = '\0';
  return port <= 0xFFFF;
}

}  // namespace cli
