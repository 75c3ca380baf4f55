// Plain COM port operations for the terminal emulator: blocking reads and
// writes with a time-out and numeric status codes, no worker thread. A write
// from a second thread may run while a read waits.
#pragma once

#include <cstdint>

namespace linklib {

struct ComPort;

enum ComStatus : uint32_t {
  kComSuccess = 0,
  kComNoMemory = 7,         // the object could not be allocated
  kComTimeout = 128,        // fewer bytes moved than asked for
  kComInvalidHandle = 132,  // also: line settings unreadable, close failed
  kComNoSuchPort = 133,
  kComEndOfFile = 140,  // the other side of the line is gone
  kComAccessDenied = 142,
  kComOtherError = 147,
};

// Access bit 0 asks for reading, bit 1 for writing. The port is shared, not
// exclusive. `unused` is kept for callers that pass it.
uint32_t ComOpen(const char* name, uint32_t access, uint32_t unused, ComPort** result);
// Parity codes: 0 none, 1 even, 2 odd, 5 space, 6 mark; any other keeps the
// parity. Handshake bit 0: XON/XOFF both ways; bit 1: CTS output flow control.
uint32_t ComSetMode(ComPort* port, uint32_t baud, uint32_t data_bits, uint32_t stop_bits,
                    uint32_t parity, uint32_t handshake);
// Time-outs in units of 10 ms: 0xFFFFFFFF waits without limit, 0 waits 1 ms.
// `moved` receives the count transferred; a short transfer gives 128.
uint32_t ComRead(ComPort* port, uint32_t unused1, uint32_t unused2, uint32_t timeout, void* buffer,
                 uint32_t count, uint32_t* moved);
uint32_t ComWrite(ComPort* port, uint32_t unused1, uint32_t unused2, uint32_t timeout,
                  const void* buffer, uint32_t count, uint32_t* moved);
uint32_t ComSetRts(ComPort* port, int on);
// Closes and frees the port; on failure (132) the object is kept.
uint32_t ComClose(ComPort* port);

// The status code for an errno value.
uint32_t ComStatusFromErrno(int error);

}  // namespace linklib
