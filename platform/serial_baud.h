// Baud rates by number through termios2, which takes any rate (3600, 7200,
// 14400 have no B constant). Kept apart: <asm/termbits.h> clashes with
// <termios.h>.
#pragma once

#include <cstdint>

namespace platform {

// Sets input and output speed of a terminal to `baud`; 0 or errno.
int SetBaudByNumber(int fd, uint32_t baud);
// Reads the output speed of a terminal as a number; 0 or errno.
int ReadBaudNumber(int fd, uint32_t* baud);

}  // namespace platform
