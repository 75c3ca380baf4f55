// A TCP client connection over IPv4 for the Modbus TCP link: a non-blocking
// connect whose caller bounds the wait, non-blocking sends (without SIGPIPE)
// and receives, and a bounded wait for incoming bytes.
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

  enum class ConnectStatus {
    kConnected,
    kInProgress,  // the handshake has not ended yet
    kFailed,      // error_number() says why; the socket is closed
  };

  // Opens a new non-blocking stream socket and starts connecting it to
  // ipv4:port (host byte order) without waiting for the handshake.
  ConnectStatus StartConnect(uint32_t ipv4, uint16_t port);
  // Waits up to `timeout_ms` for the handshake that StartConnect began.
  ConnectStatus WaitConnected(int timeout_ms);

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

// A loopback listener that never completes a handshake, for tests of a peer
// that stops answering: its accept queue is filled by connections of its own
// and nothing is ever accepted, so the SYN of a further client is dropped and
// that client's connect stays in progress.
class StalledTcpListener {
 public:
  // Null when the listener could not be set up.
  static std::unique_ptr<StalledTcpListener> Create();
  ~StalledTcpListener();
  StalledTcpListener(const StalledTcpListener&) = delete;
  StalledTcpListener& operator=(const StalledTcpListener&) = delete;
  uint16_t port() const { return port_; }

 private:
  StalledTcpListener() = default;
  int fd_ = -1;
  uint16_t port_ = 0;
  std::unique_ptr<TcpConnection> fillers_[8];
};

}  // namespace platform
