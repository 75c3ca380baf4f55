// Waiting on several descriptors at once, and the stop signals that end a
// program's wait loop cleanly.
#pragma once

#include <vector>

namespace platform {

struct PollItem {
  int fd = -1;
  bool want_read = false;
  bool want_write = false;
  // Results.
  bool readable = false;
  bool writable = false;
  bool hung_up = false;  // hang-up or error: reading will tell which
};

// Waits up to `timeout_ms` (-1: no limit) for any item. Returns the number of
// items with results, 0 on time-out or an interrupting signal, -1 on failure.
int PollDescriptors(std::vector<PollItem>& items, int timeout_ms);

// Waits up to `timeout_ms` for `fd` to become readable (or hang up).
bool WaitReadable(int fd, int timeout_ms);

// After this, SIGINT and SIGTERM make the returned descriptor readable
// instead of ending the process, and SIGPIPE is ignored. -1 on failure.
int InstallStopSignalDescriptor();

}  // namespace platform
