#include "platform/descriptor_poll.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace platform {
namespace {

int stop_pipe_write_end = -1;

void OnStopSignal(int) {
  int saved = errno;
  char byte = 1;
  if (stop_pipe_write_end >= 0) (void)!write(stop_pipe_write_end, &byte, 1);
  errno = saved;
}

}  // namespace

int PollDescriptors(std::vector<PollItem>& items, int timeout_ms) {
  std::vector<pollfd> fds(items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    fds[i].fd = items[i].fd;
    fds[i].events =
        static_cast<short>((items[i].want_read ? POLLIN : 0) | (items[i].want_write ? POLLOUT : 0));
    fds[i].revents = 0;
  }
  int ready = poll(fds.data(), fds.size(), timeout_ms);
  if (ready < 0) return errno == EINTR ? 0 : -1;
  for (size_t i = 0; i < items.size(); ++i) {
    items[i].readable = fds[i].revents & POLLIN;
    items[i].writable = fds[i].revents & POLLOUT;
    items[i].hung_up = fds[i].revents & (POLLHUP | POLLERR | POLLNVAL);
  }
  return ready;
}

bool WaitReadable(int fd, int timeout_ms) {
  pollfd item{fd, POLLIN, 0};
  for (;;) {
    int ready = poll(&item, 1, timeout_ms);
    if (ready < 0 && errno == EINTR) continue;
    return ready > 0;
  }
}

int InstallStopSignalDescriptor() {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
  stop_pipe_write_end = ends[1];
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return ends[0];
}

}  // namespace platform
