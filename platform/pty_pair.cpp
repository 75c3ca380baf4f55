#include "platform/pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace platform {

PtyPair::PtyPair() {
  termios raw{};
  cfmakeraw(&raw);
  raw.c_cflag |= CLOCAL | CREAD;
  cfsetspeed(&raw, B9600);
  char name[128] = {};
  if (openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
    master_ = slave_ = -1;
    return;
  }
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  fcntl(slave_, F_SETFD, FD_CLOEXEC);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  slave_path_ = name;
}

PtyPair::~PtyPair() {
  CloseSlave();
  CloseMaster();
}

bool PtyPair::WriteMaster(const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0 && master_ >= 0) {
    ssize_t put = write(master_, bytes, size);
    if (put > 0) {
      bytes += put;
      size -= static_cast<size_t>(put);
    } else if (put < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd descriptor{master_, POLLOUT, 0};
      if (poll(&descriptor, 1, 5000) <= 0) return false;
    } else {
      return false;
    }
  }
  return size == 0;
}

size_t PtyPair::ReadMaster(void* buffer, size_t size, std::chrono::milliseconds timeout) {
  char* bytes = static_cast<char*>(buffer);
  size_t got = 0;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (got < size && master_ >= 0) {
    ssize_t n = read(master_, bytes + got, size - got);
    int error = n < 0 ? errno : 0;
    if (n > 0) {
      got += static_cast<size_t>(n);
      continue;
    }
    if (error != 0 && error != EAGAIN && error != EINTR && error != EIO) break;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    // EIO means no slave is open at the moment: look again a little later.
    int wait_ms = static_cast<int>(std::min<int64_t>(left.count(), error == EIO ? 5 : INT32_MAX));
    pollfd descriptor{master_, POLLIN, 0};
    poll(&descriptor, 1, wait_ms);
  }
  return got;
}

void PtyPair::CloseMaster() {
  if (master_ >= 0) close(master_);
  master_ = -1;
}

void PtyPair::CloseSlave() {
  if (slave_ >= 0) close(slave_);
  slave_ = -1;
}

}  // namespace platform
