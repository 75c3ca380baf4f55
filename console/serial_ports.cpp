#include "console/serial_ports.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/serial_port_discovery.h"

namespace console {

const char* SerialPortNames[kSerialPortSlots] = {};

namespace {

constexpr int kNameLimit = kSerialPortSlots - 1;

// Each name in its own allocation, owned by the table.
bool AddName(const std::string& name, int& count) {
  if (count >= kNameLimit) return false;
  for (int i = 0; i < count; ++i) {
    if (name == SerialPortNames[i]) return true;  // listed already
  }
  char* text = static_cast<char*>(std::malloc(name.size() + 1));
  if (text == nullptr) return true;  // left out, as any name that cannot be kept
  std::memcpy(text, name.c_str(), name.size() + 1);
  SerialPortNames[count++] = text;
  return true;
}

}  // namespace

int ListSerialPorts(const char* sysfs_root) {
  for (const char*& name : SerialPortNames) {
    std::free(const_cast<char*>(name));
    name = nullptr;
  }
  int count = 0;
  for (const std::string& name : platform::DiscoverSerialPorts(sysfs_root)) {
    if (!AddName(name, count)) break;
  }
  // Ports the machine does not announce: kxtsim's pseudo-terminals, odd devices.
  if (const char* extra = std::getenv("KXT_PORTS")) {
    std::string paths = extra;
    size_t start = 0;
    while (start <= paths.size()) {
      size_t end = paths.find(':', start);
      if (end == std::string::npos) end = paths.size();
      if (end > start && !AddName(paths.substr(start, end - start), count)) break;
      start = end + 1;
    }
  }
  return count > 0 ? 0 : 1;
}

bool SerialPortPath(const char* name, char* path, int capacity) {
  if (name == nullptr || path == nullptr || capacity <= 0) return false;
  int length = name[0] == '/' ? std::snprintf(path, capacity, "%s", name)
                              : std::snprintf(path, capacity, "/dev/%s", name);
  return length >= 0 && length < capacity;
}

}  // namespace console
