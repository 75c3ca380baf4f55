#include "console/serial_ports.h"

#include <cstdio>

namespace console {

const char* SerialPortNames[kSerialPortSlots] = {};

int ListSerialPorts(const char*) { return 1; }

bool SerialPortPath(const char* name, char* path, int capacity) {
  int length = name[0] == '/' ? std::snprintf(path, capacity, "%s", name)
                              : std::snprintf(path, capacity, "/dev/%s", name);
  return length >= 0 && length < capacity;
}

}  // namespace console
