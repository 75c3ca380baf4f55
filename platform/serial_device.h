// A serial device (a UART, a USB adapter or a pseudo-terminal) opened
// non-blocking in raw mode. The link's worker and the plain COM port
// operations reach the device through this class only.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace platform {

class Event;

enum class Parity { None, Even, Odd, Space, Mark };

struct LineSettings {
  uint32_t baud = 9600;
  Parity parity = Parity::Even;
  int data_bits = 8;      // 5 to 8
  int stop_bits = 1;      // 1 or 2
  bool cts_flow = false;  // output waits for CTS
  bool xon_xoff = false;  // XON/XOFF flow control in both directions
};

// Bits one character occupies on the wire: start, data, parity and stop bits.
int BitsPerCharacter(const LineSettings& settings);

struct IoResult {
  size_t count = 0;          // bytes moved
  int error = 0;             // errno of a failure; EAGAIN when nothing can move now
  bool end_of_file = false;  // a read found the other side gone
};

struct WaitResult {
  bool woken = false;     // the event was signalled
  bool readable = false;  // a read will not block (it may still fail)
  bool writable = false;
  bool hangup = false;  // hang-up or error condition on the device
};

enum class Access { Read = 1, Write = 2, ReadWrite = 3 };

class SerialDevice {
 public:
  // Opens a device non-blocking and never as controlling terminal. With
  // `exclusive` no other open of the device succeeds while this one lasts.
  // Null with *error set to the errno of the failure.
  static std::unique_ptr<SerialDevice> Open(const char* path, Access access, bool exclusive,
                                            int* error);
  ~SerialDevice();
  SerialDevice(const SerialDevice&) = delete;
  SerialDevice& operator=(const SerialDevice&) = delete;

  // Puts the device in raw mode with these settings; 0 or errno. `actual`
  // (may be null) receives the settings read back, which differ where the
  // driver cannot do what was asked (a pseudo-terminal keeps 8N1).
  int Configure(const LineSettings& wanted, LineSettings* actual);
  int ReadSettings(LineSettings* actual) const;

  IoResult Read(void* buffer, size_t size);
  IoResult Write(const void* data, size_t size);

  // Waits until the device can be read (want_read) or written (want_write),
  // `wake` (may be null) is signalled, or the deadline passes (none: no limit).
  WaitResult Wait(const Event* wake, bool want_read, bool want_write,
                  std::optional<std::chrono::steady_clock::time_point> deadline) const;

  // Bytes the driver still holds for output; -1 when it cannot tell.
  int OutputPending() const;
  // Blocks until the driver has sent every byte (tcdrain); 0 or errno.
  int Drain();
  // Raises or lowers RTS; 0 or errno (ENOTTY where the device has no RTS).
  int SetRts(bool on);
  // Lets the driver raise RTS only while it sends (RS-485 mode); 0 or errno.
  int EnableRtsOnSend();

  bool is_pseudo_terminal() const { return pseudo_terminal_; }

  // Closes the device; 0 or errno. A closed device refuses every operation.
  int Close();

 private:
  SerialDevice(int fd, bool pseudo_terminal) : fd_(fd), pseudo_terminal_(pseudo_terminal) {}

  int fd_;
  bool pseudo_terminal_;
};

}  // namespace platform
