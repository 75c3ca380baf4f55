// The current directory: its entries and moving to another one.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct DirectoryEntry {
  std::string name;
  bool directory = false;  // also a link to a directory
};

// Every entry of the current directory, "." and ".." included, in the order
// the system gives them. False (and no entries) when it cannot be read.
bool ListCurrentDirectory(std::vector<DirectoryEntry>& entries);
// Makes path the current directory; false when it cannot be entered.
bool ChangeDirectory(const char* path);

}  // namespace platform
