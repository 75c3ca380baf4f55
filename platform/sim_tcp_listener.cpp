#include "platform/sim_tcp_listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

std::unique_ptr<TcpListener> TcpListener::Listen(uint16_t port, std::string* error) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return nullptr;
  }
  int yes = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd, SOMAXCONN) != 0) {
    if (error) *error = std::strerror(errno);
    close(fd);
    return nullptr;
  }
  socklen_t size = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  return std::unique_ptr<TcpListener>(new TcpListener(fd, ntohs(address.sin_port)));
}

TcpListener::~TcpListener() { close(fd_); }

int TcpListener::Accept() {
  int fd;
  for (;;) {
    fd = accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) break;
    // A connection that was reset while it waited is passed over, so the
    // ones queued behind it are still taken now.
    if (errno == EINTR || errno == ECONNABORTED) continue;
    return -1;
  }
  int yes = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  return fd;
}

long ReceiveFromSocket(int fd, uint8_t* buffer, size_t size) {
  for (;;) {
    ssize_t got = recv(fd, buffer, size, 0);
    if (got >= 0) return static_cast<long>(got);
    if (errno == EINTR) continue;
    return (errno == EAGAIN || errno == EWOULDBLOCK) ? kTransferWouldBlock : kTransferFailed;
  }
}

long SendToSocket(int fd, const uint8_t* data, size_t size) {
  for (;;) {
    ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
    if (sent >= 0) return static_cast<long>(sent);
    if (errno == EINTR) continue;
    return (errno == EAGAIN || errno == EWOULDBLOCK) ? kTransferWouldBlock : kTransferFailed;
  }
}

void CloseSocket(int fd) {
  if (fd >= 0) close(fd);
}

int ConnectToLoopback(uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

int StartLoopbackConnection(uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
      errno != EINPROGRESS) {
    close(fd);
    return -1;
  }
  int yes = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  return fd;
}

bool ConnectionEstablished(int fd) {
  int error = 0;
  socklen_t size = sizeof error;
  return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

}  // namespace platform
