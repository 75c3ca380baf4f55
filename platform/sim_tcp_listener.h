// A loopback TCP listener and non-blocking byte transfer on its connections,
// for the simulated module's Modbus TCP side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Result of a non-blocking transfer: bytes moved, or one of these.
inline constexpr long kTransferWouldBlock = -1;
inline constexpr long kTransferFailed = -2;

class TcpListener {
 public:
  // Listens on 127.0.0.1:`port` (0 picks a free port). Null on failure, with
  // the reason in `error`.
  static std::unique_ptr<TcpListener> Listen(uint16_t port, std::string* error);
  ~TcpListener();
  TcpListener(const TcpListener&) = delete;
  TcpListener& operator=(const TcpListener&) = delete;

  int fd() const { return fd_; }
  uint16_t port() const { return port_; }
  // A new non-blocking connection, or -1 when none is waiting.
  int Accept();

 private:
  TcpListener(int fd, uint16_t port) : fd_(fd), port_(port) {}
  int fd_;
  uint16_t port_;
};

// recv on a non-blocking socket: bytes, 0 when the peer closed, or a
// kTransfer code.
long ReceiveFromSocket(int fd, uint8_t* buffer, size_t size);
// send without SIGPIPE: bytes sent, or a kTransfer code.
long SendToSocket(int fd, const uint8_t* data, size_t size);
void CloseSocket(int fd);
// A blocking client connection to 127.0.0.1:`port`, for tests; -1 on failure.
int ConnectToLoopback(uint16_t port);
// A non-blocking client connection to 127.0.0.1:`port` whose handshake may
// still be under way, for tests that open many at once; -1 on failure.
int StartLoopbackConnection(uint16_t port);
// After a connection started above became writable: true when it is
// established, false when it failed.
bool ConnectionEstablished(int fd);

}  // namespace platform
