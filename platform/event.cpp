#include "platform/event.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace platform {

Event::Event() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

Event::~Event() {
  if (fd_ >= 0) close(fd_);
}

void Event::Signal() {
  if (fd_ < 0) return;
  uint64_t one = 1;
  // A full counter (never reached in practice) still leaves the event readable.
  ssize_t written = write(fd_, &one, sizeof one);
  (void)written;
}

void Event::Clear() {
  if (fd_ < 0) return;
  uint64_t count = 0;
  ssize_t got = read(fd_, &count, sizeof count);
  (void)got;
}

}  // namespace platform
