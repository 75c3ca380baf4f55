#include "platform/serial_device.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/event.h"
#include "platform/serial_baud.h"

namespace platform {
namespace {

struct StandardRate {
  uint32_t baud;
  speed_t code;
};

// Rates with a B constant; any other rate is set by number.
constexpr StandardRate kStandardRates[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

const StandardRate* FindStandardRate(uint32_t baud) {
  for (const StandardRate& rate : kStandardRates)
    if (rate.baud == baud) return &rate;
  return nullptr;
}

tcflag_t DataBitsFlag(int data_bits) {
  switch (data_bits) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

int DataBitsOf(tcflag_t cflag) {
  switch (cflag & CSIZE) {
    case CS5:
      return 5;
    case CS6:
      return 6;
    case CS7:
      return 7;
    default:
      return 8;
  }
}

tcflag_t ParityFlags(Parity parity) {
  switch (parity) {
    case Parity::Even:
      return PARENB;
    case Parity::Odd:
      return PARENB | PARODD;
    case Parity::Space:
      return PARENB | CMSPAR;
    case Parity::Mark:
      return PARENB | CMSPAR | PARODD;
    case Parity::None:
      break;
  }
  return 0;
}

Parity ParityOf(tcflag_t cflag) {
  if (!(cflag & PARENB)) return Parity::None;
  bool odd = cflag & PARODD;
  if (cflag & CMSPAR) return odd ? Parity::Mark : Parity::Space;
  return odd ? Parity::Odd : Parity::Even;
}

// Unix98 pseudo-terminal slaves have majors 136 to 143, their multiplexer is
// 5:2, and the old BSD pairs are majors 2 and 3.
bool IsPseudoTerminal(int fd) {
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) return false;
  unsigned major_number = major(info.st_rdev);
  unsigned minor_number = minor(info.st_rdev);
  return (major_number >= 136 && major_number <= 143) || major_number == 2 || major_number == 3 ||
         (major_number == 5 && minor_number == 2);
}

int OpenFlags(Access access) {
  int flags = O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
  switch (access) {
    case Access::Read:
      return flags | O_RDONLY;
    case Access::Write:
      return flags | O_WRONLY;
    case Access::ReadWrite:
      break;
  }
  return flags | O_RDWR;
}

}  // namespace

int BitsPerCharacter(const LineSettings& settings) {
  int data = settings.data_bits >= 5 && settings.data_bits <= 8 ? settings.data_bits : 8;
  int parity = settings.parity == Parity::None ? 0 : 1;
  int stop = settings.stop_bits == 2 ? 2 : 1;
  return 1 + data + parity + stop;
}

std::unique_ptr<SerialDevice> SerialDevice::Open(const char* path, Access access, bool exclusive,
                                                 int* error) {
  int ignored = 0;
  if (!error) error = &ignored;
  int fd = open(path, OpenFlags(access));
  if (fd < 0) {
    *error = errno;
    return nullptr;
  }
  if (!isatty(fd)) {
    *error = ENOTTY;
    close(fd);
    return nullptr;
  }
  if (exclusive) {
    // TIOCEXCL keeps other opens out, except a privileged one; the lock
    // keeps out a second link of this system even then.
    if (ioctl(fd, TIOCEXCL) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
      *error = errno == EWOULDBLOCK ? EBUSY : errno;
      close(fd);
      return nullptr;
    }
  }
  *error = 0;
  return std::unique_ptr<SerialDevice>(new SerialDevice(fd, IsPseudoTerminal(fd)));
}

SerialDevice::~SerialDevice() { Close(); }

int SerialDevice::Close() {
  if (fd_ < 0) return EBADF;
  int result = close(fd_) == 0 ? 0 : errno;
  fd_ = -1;
  return result;
}

int SerialDevice::Configure(const LineSettings& wanted, LineSettings* actual) {
  if (fd_ < 0) return EBADF;
  termios settings{};
  if (tcgetattr(fd_, &settings) != 0) return errno;
  cfmakeraw(&settings);
  settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CIBAUD);
  settings.c_cflag |= CLOCAL | CREAD | DataBitsFlag(wanted.data_bits) | ParityFlags(wanted.parity);
  if (wanted.stop_bits == 2) settings.c_cflag |= CSTOPB;
  if (wanted.cts_flow) settings.c_cflag |= CRTSCTS;
  // Bytes with a parity error are delivered as received: the protocols'
  // own checks reject the frame.
  settings.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK | ISTRIP);
  if (wanted.xon_xoff) settings.c_iflag |= IXON | IXOFF;
  // One byte and no timer: with the descriptor non-blocking an empty read
  // then says EAGAIN, and a read of 0 bytes means the line hung up.
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  const StandardRate* rate = FindStandardRate(wanted.baud);
  if (rate) {
    cfsetispeed(&settings, rate->code);
    cfsetospeed(&settings, rate->code);
  }
  // The C library may answer EINVAL when the driver silently kept some of
  // the old settings (a pseudo-terminal keeps 8N1); the read-back tells.
  if (tcsetattr(fd_, TCSANOW, &settings) != 0 && errno != EINVAL) return errno;
  if (!rate && wanted.baud != 0) {
    int result = SetBaudByNumber(fd_, wanted.baud);
    if (result != 0) return result;
  }
  if (actual) return ReadSettings(actual);
  return 0;
}

int SerialDevice::ReadSettings(LineSettings* actual) const {
  if (fd_ < 0) return EBADF;
  termios settings{};
  if (tcgetattr(fd_, &settings) != 0) return errno;
  LineSettings read_back;
  read_back.data_bits = DataBitsOf(settings.c_cflag);
  read_back.parity = ParityOf(settings.c_cflag);
  read_back.stop_bits = (settings.c_cflag & CSTOPB) ? 2 : 1;
  read_back.cts_flow = settings.c_cflag & CRTSCTS;
  read_back.xon_xoff = (settings.c_iflag & IXON) && (settings.c_iflag & IXOFF);
  int result = ReadBaudNumber(fd_, &read_back.baud);
  if (result != 0) return result;
  *actual = read_back;
  return 0;
}

IoResult SerialDevice::Read(void* buffer, size_t size) {
  IoResult result;
  if (fd_ < 0) {
    result.error = EBADF;
    return result;
  }
  if (size == 0) return result;
  ssize_t got = read(fd_, buffer, size);
  if (got > 0) {
    result.count = static_cast<size_t>(got);
  } else if (got == 0) {
    result.end_of_file = true;
  } else {
    result.error = errno == EWOULDBLOCK ? EAGAIN : errno;
  }
  return result;
}

IoResult SerialDevice::Write(const void* data, size_t size) {
  IoResult result;
  if (fd_ < 0) {
    result.error = EBADF;
    return result;
  }
  if (size == 0) return result;
  ssize_t put = write(fd_, data, size);
  if (put >= 0) {
    result.count = static_cast<size_t>(put);
  } else {
    result.error = errno == EWOULDBLOCK ? EAGAIN : errno;
  }
  return result;
}

WaitResult SerialDevice::Wait(const Event* wake, bool want_read, bool want_write,
                              std::optional<std::chrono::steady_clock::time_point> deadline) const {
  WaitResult result;
  pollfd descriptors[2] = {};
  nfds_t count = 0;
  int device_index = -1;
  int wake_index = -1;
  if (fd_ >= 0 && (want_read || want_write)) {
    descriptors[count].fd = fd_;
    descriptors[count].events =
        static_cast<short>((want_read ? POLLIN : 0) | (want_write ? POLLOUT : 0));
    device_index = static_cast<int>(count++);
  }
  if (wake && wake->valid()) {
    descriptors[count].fd = wake->descriptor();
    descriptors[count].events = POLLIN;
    wake_index = static_cast<int>(count++);
  }
  timespec timeout{};
  timespec* timeout_pointer = nullptr;
  if (deadline) {
    auto left = *deadline - std::chrono::steady_clock::now();
    if (left < std::chrono::nanoseconds(0)) left = std::chrono::nanoseconds(0);
    auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    timeout.tv_sec = static_cast<time_t>(nanoseconds / 1000000000);
    timeout.tv_nsec = static_cast<long>(nanoseconds % 1000000000);
    timeout_pointer = &timeout;
  }
  if (ppoll(descriptors, count, timeout_pointer, nullptr) <= 0) return result;
  if (device_index >= 0) {
    short events = descriptors[device_index].revents;
    result.readable = events & POLLIN;
    result.writable = events & POLLOUT;
    result.hangup = events & (POLLHUP | POLLERR | POLLNVAL);
  }
  if (wake_index >= 0) result.woken = descriptors[wake_index].revents & POLLIN;
  return result;
}

int SerialDevice::OutputPending() const {
  int pending = 0;
  if (fd_ < 0 || ioctl(fd_, TIOCOUTQ, &pending) != 0) return -1;
  return pending;
}

int SerialDevice::Drain() {
  if (fd_ < 0) return EBADF;
  return tcdrain(fd_) == 0 ? 0 : errno;
}

int SerialDevice::SetRts(bool on) {
  if (fd_ < 0) return EBADF;
  int bits = TIOCM_RTS;
  return ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) == 0 ? 0 : errno;
}

int SerialDevice::EnableRtsOnSend() {
  if (fd_ < 0) return EBADF;
  serial_rs485 rs485{};
  if (ioctl(fd_, TIOCGRS485, &rs485) != 0) return errno;
  rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
  rs485.flags &= ~SER_RS485_RTS_AFTER_SEND;
  if (ioctl(fd_, TIOCSRS485, &rs485) != 0) return errno;
  // Drivers clear flags they cannot honour: believe only the read-back.
  if (ioctl(fd_, TIOCGRS485, &rs485) != 0) return errno;
  if (!(rs485.flags & SER_RS485_ENABLED) || !(rs485.flags & SER_RS485_RTS_ON_SEND)) return ENOTSUP;
  return 0;
}

}  // namespace platform
