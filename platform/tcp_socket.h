// A TCP client connection over IPv4 for the Modbus TCP link: a blocking
// connect, then non-blocking sends (without SIGPIPE) and receives, and a
// bounded wait for incoming bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

// Resolves a host name to its first IPv4 address (host byte order).
bool ResolveHostIpv4(const char* host, uint32_t* ipv4);

class TcpConnection {
 public:
  enum class ReceiveStatus {
    kData,        // `*received` bytes (at least 1) were stored
    kNothing,     // no byte is waiting now
    kPeerClosed,  // the peer has closed its side; nothing more will come
    kFailed,      // error_number() says why
  };

  TcpConnection() = default;
  // Takes over a connected socket (a test server's accepted connection).
  explicit TcpConnection(int connected_fd) : fd_(connected_fd) {}
  ~TcpConnection();
  TcpConnection(const TcpConnection&) = delete;
  TcpConnection& operator=(const TcpConnection&) = delete;

  // Opens a new stream socket, connects it to ipv4:port (host byte order)
  // with the system's connect time-out, and makes it non-blocking. The
  // socket is kept even when the connect fails, so that later sends report
  // it as not connected. False on failure, with error_number() set.
  bool Connect(uint32_t ipv4, uint16_t port);

  // Shuts the connection down in both directions and closes the socket.
  void Close();

  bool IsOpen() const { return fd_ >= 0; }

  // Sends every byte. A full socket buffer is waited for up to `timeout_ms`.
  // False on failure, with error_number() set.
  bool Send(const uint8_t* data, size_t size, int timeout_ms);

  ReceiveStatus Receive(uint8_t* buffer, size_t size, size_t* received);

  // Waits up to `timeout_ms` for bytes (or the peer's close, or an error) to
  // be ready. True when ready.
  bool WaitReadable(int timeout_ms);

  // Closes at once with a reset instead of an orderly close (for tests of
  // a peer that drops the connection).
  void Abort();

  // The errno of the last failure.
  int error_number() const { return error_number_; }

 private:
  int fd_ = -1;
  int error_number_ = 0;
};

}  // namespace platform
