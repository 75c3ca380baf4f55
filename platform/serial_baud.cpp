#include "platform/serial_baud.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace platform {

int SetBaudByNumber(int fd, uint32_t baud) {
  struct termios2 settings {};
  if (ioctl(fd, TCGETS2, &settings) != 0) return errno;
  settings.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  settings.c_ispeed = baud;
  settings.c_ospeed = baud;
  if (ioctl(fd, TCSETS2, &settings) != 0) return errno;
  return 0;
}

int ReadBaudNumber(int fd, uint32_t* baud) {
  struct termios2 settings {};
  if (ioctl(fd, TCGETS2, &settings) != 0) return errno;
  *baud = settings.c_ospeed;
  return 0;
}

}  // namespace platform
