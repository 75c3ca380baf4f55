// The simulated module's end of a serial line: a pseudo-terminal it creates
// (others open the slave side by its path) or a serial device it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

struct LineSettings {
  uint32_t baud = 9600;
  char parity = 'N';  // N, E, O, M, S
  int data_bits = 8;
  int stop_bits = 1;
};

class SerialEndpoint {
 public:
  // A new pseudo-terminal in raw mode. A spare slave descriptor stays open
  // for the endpoint's life, so the master side never reads EIO when the
  // program on the other side closes its end.
  static std::unique_ptr<SerialEndpoint> CreatePseudoTerminal(std::string* error);
  // A serial device in raw mode with `settings`.
  static std::unique_ptr<SerialEndpoint> OpenDevice(const std::string& path,
                                                    const LineSettings& settings,
                                                    std::string* error);
  ~SerialEndpoint();
  SerialEndpoint(const SerialEndpoint&) = delete;
  SerialEndpoint& operator=(const SerialEndpoint&) = delete;

  int fd() const { return fd_; }
  // The path others open: the pseudo-terminal's slave, or the device.
  const std::string& path() const { return path_; }

  // Non-blocking: bytes moved, 0 when none could be, -1 on failure.
  long Read(uint8_t* buffer, size_t size);
  long Write(const uint8_t* data, size_t size);

 private:
  SerialEndpoint(int fd, int spare_fd, std::string path)
      : fd_(fd), spare_fd_(spare_fd), path_(std::move(path)) {}
  int fd_;
  int spare_fd_;
  std::string path_;
};

}  // namespace platform
