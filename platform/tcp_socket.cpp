#include "platform/tcp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

bool ResolveHostIpv4(const char* host, uint32_t* ipv4) {
  if (!host || !*host) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &result) != 0 || !result) return false;
  bool found = false;
  for (addrinfo* entry = result; entry; entry = entry->ai_next) {
    if (entry->ai_family == AF_INET && entry->ai_addr) {
      const sockaddr_in* address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
      *ipv4 = ntohl(address->sin_addr.s_addr);
      found = true;
      break;
    }
  }
  freeaddrinfo(result);
  return found;
}

TcpConnection::~TcpConnection() { Close(); }

TcpConnection::ConnectStatus TcpConnection::StartConnect(uint32_t ipv4, uint16_t port) {
  Close();
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
  if (fd_ < 0) {
    error_number_ = errno;
    return ConnectStatus::kFailed;
  }
  // Requests are small and each waits for its reply: send them at once.
  int on = 1;
  setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(ipv4);
  if (connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
    return ConnectStatus::kConnected;
  // Interrupted, the connect goes on in the background as if in progress.
  if (errno == EINPROGRESS || errno == EINTR) return ConnectStatus::kInProgress;
  error_number_ = errno;
  Close();
  return ConnectStatus::kFailed;
}

TcpConnection::ConnectStatus TcpConnection::WaitConnected(int timeout_ms) {
  if (fd_ < 0) {
    error_number_ = ENOTCONN;
    return ConnectStatus::kFailed;
  }
  pollfd entry{fd_, POLLOUT, 0};
  int ready = poll(&entry, 1, timeout_ms < 0 ? 0 : timeout_ms);
  if (ready == 0 || (ready < 0 && errno == EINTR)) return ConnectStatus::kInProgress;
  int failure = 0;
  socklen_t size = sizeof failure;
  if (ready < 0)
    failure = errno;
  else if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &failure, &size) != 0)
    failure = errno;
  if (failure == 0) return ConnectStatus::kConnected;
  error_number_ = failure;
  Close();
  return ConnectStatus::kFailed;
}

void TcpConnection::Close() {
  if (fd_ < 0) return;
  shutdown(fd_, SHUT_RDWR);
  close(fd_);
  fd_ = -1;
}

bool TcpConnection::Send(const uint8_t* data, size_t size, int timeout_ms) {
  if (fd_ < 0) {
    error_number_ = ENOTCONN;
    return false;
  }
  size_t sent = 0;
  while (sent < size) {
    ssize_t n = send(fd_, data + sent, size - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd entry{fd_, POLLOUT, 0};
      int ready = poll(&entry, 1, timeout_ms);
      if (ready > 0) continue;
      if (ready < 0 && errno == EINTR) continue;
      error_number_ = ready == 0 ? ETIMEDOUT : errno;
      return false;
    }
    error_number_ = n < 0 ? errno : EPIPE;
    return false;
  }
  return true;
}

TcpConnection::ReceiveStatus TcpConnection::Receive(uint8_t* buffer, size_t size,
                                                    size_t* received) {
  *received = 0;
  if (fd_ < 0) {
    error_number_ = ENOTCONN;
    return ReceiveStatus::kFailed;
  }
  if (size == 0) return ReceiveStatus::kNothing;
  ssize_t n = recv(fd_, buffer, size, 0);
  if (n > 0) {
    *received = static_cast<size_t>(n);
    return ReceiveStatus::kData;
  }
  if (n == 0) return ReceiveStatus::kPeerClosed;
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return ReceiveStatus::kNothing;
  error_number_ = errno;
  return ReceiveStatus::kFailed;
}

bool TcpConnection::WaitReadable(int timeout_ms) {
  if (fd_ < 0) return false;
  pollfd entry{fd_, POLLIN, 0};
  return poll(&entry, 1, timeout_ms < 0 ? 0 : timeout_ms) > 0;
}

}  // namespace platform

namespace platform {

void TcpConnection::Abort() {
  if (fd_ < 0) return;
  linger reset{1, 0};
  setsockopt(fd_, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  close(fd_);
  fd_ = -1;
}

}  // namespace platform

namespace platform {

std::unique_ptr<StalledTcpListener> StalledTcpListener::Create() {
  std::unique_ptr<StalledTcpListener> listener(new StalledTcpListener());
  listener->fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (listener->fd_ < 0) return nullptr;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  // A backlog of 0 holds one finished connection; the next SYN finds the
  // queue full and is dropped.
  if (bind(listener->fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener->fd_, 0) != 0 ||
      getsockname(listener->fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
    return nullptr;
  listener->port_ = ntohs(address.sin_port);
  // The first filler fills the queue: its handshake is waited for in full.
  // Further fillers follow until one stays in progress (a kernel that keeps
  // more than one finished connection at this backlog): from then on the
  // queue is full, and it stays full because nothing is accepted.
  for (size_t i = 0; i < sizeof listener->fillers_ / sizeof listener->fillers_[0]; ++i) {
    auto& filler = listener->fillers_[i];
    filler = std::make_unique<TcpConnection>();
    TcpConnection::ConnectStatus status = filler->StartConnect(INADDR_LOOPBACK, listener->port_);
    if (status == TcpConnection::ConnectStatus::kInProgress)
      status = filler->WaitConnected(i == 0 ? 10000 : 200);
    if (status == TcpConnection::ConnectStatus::kInProgress && i > 0) return listener;
    if (status != TcpConnection::ConnectStatus::kConnected) return nullptr;
  }
  return nullptr;
}

StalledTcpListener::~StalledTcpListener() {
  for (auto& filler : fillers_) filler.reset();
  if (fd_ >= 0) close(fd_);
}

}  // namespace platform
