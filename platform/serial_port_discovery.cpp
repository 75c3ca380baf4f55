#include "platform/serial_port_discovery.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace platform {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A ttyS slot exists for every configured 8250 line whether or not a UART
// answers there; the kernel marks the empty ones with type 0 (PORT_UNKNOWN).
bool SerialSlotIsEmpty(const std::string& entry_path) {
  std::FILE* file = std::fopen((entry_path + "/type").c_str(), "r");
  if (file == nullptr) return false;  // no type to judge by: keep the port
  char text[16] = {};
  bool empty =
      std::fgets(text, sizeof text, file) != nullptr && std::atoi(text) == 0 && IsDigit(text[0]);
  std::fclose(file);
  return empty;
}

}  // namespace

bool SerialPortNameLess(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      // Compare runs of digits by value: skip leading zeros, then the longer
      // run is larger, then the first differing digit decides.
      size_t a_start = i, b_start = j;
      while (a_start < a.size() && a[a_start] == '0') ++a_start;
      while (b_start < b.size() && b[b_start] == '0') ++b_start;
      size_t a_end = a_start, b_end = b_start;
      while (a_end < a.size() && IsDigit(a[a_end])) ++a_end;
      while (b_end < b.size() && IsDigit(b[b_end])) ++b_end;
      if (a_end - a_start != b_end - b_start) return a_end - a_start < b_end - b_start;
      int order = a.compare(a_start, a_end - a_start, b, b_start, b_end - b_start);
      if (order != 0) return order < 0;
      i = a_end;
      j = b_end;
      continue;
    }
    if (a[i] != b[j]) {
      return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
    }
    ++i;
    ++j;
  }
  if ((a.size() - i) != (b.size() - j)) return a.size() - i < b.size() - j;
  return a < b;  // equal by value ("ttyS01" and "ttyS1"): keep an order all the same
}

std::vector<std::string> DiscoverSerialPorts(const char* sysfs_root) {
  std::vector<std::string> names;
  std::string class_path = std::string(sysfs_root != nullptr ? sysfs_root : "/sys") + "/class/tty";
  DIR* directory = opendir(class_path.c_str());
  if (directory == nullptr) return names;
  while (dirent* found = readdir(directory)) {
    std::string name = found->d_name;
    if (name == "." || name == "..") continue;
    std::string entry_path = class_path + "/" + name;
    struct stat status {};
    // Virtual consoles, pseudo-terminals and the like have no device behind them.
    if (lstat((entry_path + "/device").c_str(), &status) != 0) continue;
    if (name.compare(0, 4, "ttyS") == 0 && name.size() > 4 && IsDigit(name[4]) &&
        SerialSlotIsEmpty(entry_path)) {
      continue;
    }
    names.push_back(std::move(name));
  }
  closedir(directory);
  std::sort(names.begin(), names.end(), SerialPortNameLess);
  return names;
}

}  // namespace platform
