// Placeholder until the serial port driver lands.
#include "link/link_handle.h"

namespace linklib {
int SetPortMode(LinkHandle*, uint32_t, int, int, uint16_t, int) { return 0; }
int SetPortMode8(LinkHandle*, uint32_t, int, int, uint16_t) { return 0; }
int ParsePortSettings(const char*, LinkHandle*) { return 0; }
}  // namespace linklib
