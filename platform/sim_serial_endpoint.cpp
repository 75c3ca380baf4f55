#include "platform/sim_serial_endpoint.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/serial_baud.h"

namespace platform {
namespace {

bool ApplyLineSettings(int fd, const LineSettings& settings, std::string* error) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  cfmakeraw(&tio);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  tio.c_cflag |= CLOCAL | CREAD | (settings.data_bits == 7 ? CS7 : CS8);
  if (settings.stop_bits == 2) tio.c_cflag |= CSTOPB;
  switch (settings.parity) {
    case 'E':
      tio.c_cflag |= PARENB;
      break;
    case 'O':
      tio.c_cflag |= PARENB | PARODD;
      break;
    case 'M':
      tio.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case 'S':
      tio.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (tcsetattr(fd, TCSANOW, &tio) != 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  if (int failure = SetBaudByNumber(fd, settings.baud); failure != 0) {
    if (error) *error = std::strerror(failure);
    return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<SerialEndpoint> SerialEndpoint::CreatePseudoTerminal(std::string* error) {
  int master = -1;
  int slave = -1;
  termios tio{};
  cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  if (openpty(&master, &slave, nullptr, &tio, nullptr) != 0) {
    if (error) *error = std::strerror(errno);
    return nullptr;
  }
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  fcntl(master, F_SETFD, FD_CLOEXEC);
  fcntl(slave, F_SETFD, FD_CLOEXEC);
  char* name = ttyname(slave);
  std::string path = name ? name : "";
  return std::unique_ptr<SerialEndpoint>(new SerialEndpoint(master, slave, path));
}

std::unique_ptr<SerialEndpoint> SerialEndpoint::OpenDevice(const std::string& path,
                                                           const LineSettings& settings,
                                                           std::string* error) {
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return nullptr;
  }
  if (!ApplyLineSettings(fd, settings, error)) {
    close(fd);
    return nullptr;
  }
  return std::unique_ptr<SerialEndpoint>(new SerialEndpoint(fd, -1, path));
}

SerialEndpoint::~SerialEndpoint() {
  close(fd_);
  if (spare_fd_ >= 0) close(spare_fd_);
}

long SerialEndpoint::Read(uint8_t* buffer, size_t size) {
  for (;;) {
    ssize_t got = read(fd_, buffer, size);
    if (got >= 0) return static_cast<long>(got);
    if (errno == EINTR) continue;
    return (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : -1;
  }
}

long SerialEndpoint::Write(const uint8_t* data, size_t size) {
  for (;;) {
    ssize_t sent = write(fd_, data, size);
    if (sent >= 0) return static_cast<long>(sent);
    if (errno == EINTR) continue;
    return (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : -1;
  }
}

}  // namespace platform
