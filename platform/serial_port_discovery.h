// The serial ports of the machine, found in sysfs.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Names (such as "ttyS0", "ttyUSB0") of the terminals under
// sysfs_root/class/tty that sit on a device: every entry with a "device"
// link, except the ttyS ports whose "type" reads 0 (8250 slots with no UART
// behind them). Sorted by name, with the numbers in names compared by value
// (ttyS2 before ttyS10). Empty when the tree cannot be read.
std::vector<std::string> DiscoverSerialPorts(const char* sysfs_root);

// The order of DiscoverSerialPorts: true when a comes before b.
bool SerialPortNameLess(const std::string& a, const std::string& b);

}  // namespace platform
