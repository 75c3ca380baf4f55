#include "platform/terminal.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/terminal_signals.h"

namespace platform {
namespace {

int g_wake_pipe[2] = {-1, -1};  // a repaint notice wakes a waiting Read

void CloseWakePipe() {
  for (int& fd : g_wake_pipe) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

void DrainWakePipe() {
  char bytes[32];
  while (g_wake_pipe[0] >= 0 && read(g_wake_pipe[0], bytes, sizeof bytes) > 0) {
  }
}

}  // namespace

std::int64_t Terminal::NowMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool Terminal::Open(int min_columns, int min_rows, const std::string& enter_bytes,
                    const std::string& leave_bytes, std::string& message) {
  if (IsOpen()) return true;
  int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    message = std::string("No terminal to draw on: /dev/tty: ") + std::strerror(errno);
    return false;
  }
  winsize size;
  std::memset(&size, 0, sizeof size);
  termios saved;
  if (ioctl(fd, TIOCGWINSZ, &size) != 0 || tcgetattr(fd, &saved) != 0) {
    message = std::string("No terminal to draw on: ") + std::strerror(errno);
    close(fd);
    return false;
  }
  if (size.ws_col < min_columns || size.ws_row < min_rows) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "The terminal has %d columns and %d rows; at least %d columns and %d rows are "
                  "needed.",
                  size.ws_col, size.ws_row, min_columns, min_rows);
    message = text;
    close(fd);
    return false;
  }
  if (pipe2(g_wake_pipe, O_NONBLOCK | O_CLOEXEC) != 0) {
    message = std::string("Cannot take the terminal: ") + std::strerror(errno);
    close(fd);
    return false;
  }
  termios raw = saved;
  cfmakeraw(&raw);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  if (tcsetattr(fd, TCSAFLUSH, &raw) != 0) {
    message = std::string("Cannot set the terminal's raw mode: ") + std::strerror(errno);
    CloseWakePipe();
    close(fd);
    return false;
  }
  fd_ = fd;
  ArmTerminalSignals(fd, saved, raw, enter_bytes, leave_bytes, g_wake_pipe[1]);
  Write(enter_bytes.data(), enter_bytes.size());
  return true;
}

void Terminal::Close() {
  if (!IsOpen()) return;
  DisarmTerminalSignals();
  CloseWakePipe();
  close(fd_);
  fd_ = -1;
}

void Terminal::Write(const char* data, std::size_t size) {
  // Output while the terminal is given back would land on the shell's
  // screen; the repaint on taking it again shows it instead.
  if (!TerminalTaken()) return;
  while (IsOpen() && size > 0) {
    ssize_t written = write(fd_, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        pollfd ready{fd_, POLLOUT, 0};
        poll(&ready, 1, 100);
        continue;
      }
      return;  // a terminal that is gone shows up on the next read
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

int Terminal::Read(unsigned char* buffer, int capacity, int timeout_ms) {
  if (!IsOpen() || capacity <= 0) return 0;
  pollfd sources[2] = {{fd_, POLLIN, 0}, {g_wake_pipe[0], POLLIN, 0}};
  int ready = poll(sources, 2, timeout_ms < 0 ? -1 : timeout_ms);
  if (ready <= 0) return 0;  // time-out, or a signal (its notice is pending)
  if (sources[1].revents != 0) DrainWakePipe();
  if (sources[0].revents == 0) return 0;
  ssize_t count = read(fd_, buffer, static_cast<std::size_t>(capacity));
  if (count > 0) return static_cast<int>(count);
  if (count < 0 && (errno == EINTR || errno == EAGAIN)) return 0;
  EndOnHangup();
}

bool Terminal::TakeRepaintNotice() { return IsOpen() && TakeTerminalNotice(); }

void Terminal::Suspend() {
  if (IsOpen()) SuspendTerminal();
}

void Terminal::Release() {
  if (IsOpen()) ReleaseTerminal();
}

void Terminal::Retake() {
  if (IsOpen()) RetakeTerminal();
}

}  // namespace platform
