// Splits the address that kxtload and quillet take on their command lines
// into its parts: a serial device path, a COM port with its settings, or a
// network host with its TCP port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace cli {

enum class AddressForm { DevicePath, ComPort, Other };

// A text that begins with "/" is a serial device path (/dev/ttyUSB0, a
// pseudo-terminal), taken whole and as typed, Linux paths being
// case-sensitive. Any other address is upper-cased in place; "COM", one
// character and ":" in the fifth place is a COM port (COM1: to COM9:;
// COM10: is not one). Everything else is left to the program.
AddressForm ClassifyAddress(char* address);

// For a COM port address: the text after "COMn:" is port settings and wins
// over those given with -M. When `settings_given` says -M was used, prints
// the two notices. Moves the text into `settings` (bounded) and cuts the
// address after the colon; without such text nothing changes.
void TakeComPortSettings(char* address, bool settings_given, char* settings, size_t size,
                         FILE* out);

// For a network address "host[:port]": cuts the address at its first ":" and
// reads the leading decimal digits after it as the port (no digits give 0;
// values beyond 32 bits saturate). Without a colon `port` keeps its value.
// False when the port is above 65535: it would wrap onto another port.
bool SplitHostAndPort(char* address, uint32_t& port);

}  // namespace cli
