// The serial ports of the machine, as the choice texts of the port fields.
#pragma once

namespace console {

constexpr int kSerialPortSlots = 40;  // at most 39 names and the null that ends them

// The names of the last ListSerialPorts, ended by a null pointer.
extern const char* SerialPortNames[kSerialPortSlots];

// Rebuilds SerialPortNames from the sysfs tree under sysfs_root (normally
// "/sys") and the device paths of KXT_PORTS. 0 on success, else non-zero
// (nothing found to list).
int ListSerialPorts(const char* sysfs_root = "/sys");

}  // namespace console

namespace console {

// The device path of a listed name: "/dev/" and the name, or the name itself
// when it already is a path (a KXT_PORTS entry). Cut names are refused:
// returns false when the path does not fit.
bool SerialPortPath(const char* name, char* path, int capacity);

}  // namespace console
