#include "platform/directory.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

bool ListCurrentDirectory(std::vector<DirectoryEntry>& entries) {
  entries.clear();
  DIR* directory = opendir(".");
  if (directory == nullptr) return false;
  while (dirent* found = readdir(directory)) {
    DirectoryEntry entry;
    entry.name = found->d_name;
    if (found->d_type == DT_DIR) {
      entry.directory = true;
    } else if (found->d_type == DT_LNK || found->d_type == DT_UNKNOWN) {
      // The file system does not say, or it is a link: ask for what it names.
      struct stat status {};
      entry.directory = stat(found->d_name, &status) == 0 && S_ISDIR(status.st_mode);
    }
    entries.push_back(std::move(entry));
  }
  closedir(directory);
  return true;
}

bool ChangeDirectory(const char* path) { return path != nullptr && chdir(path) == 0; }

}  // namespace platform
