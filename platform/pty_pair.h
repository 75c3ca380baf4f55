// A pseudo-terminal pair made in-process, for tests: the slave side is a
// serial device by path (raw from the start, so nothing is echoed), the
// master side is the far end of the line.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace platform {

class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool valid() const { return master_ >= 0; }
  const std::string& slave_path() const { return slave_path_; }

  // Writes every byte to the far end of the line; false on failure.
  bool WriteMaster(const void* data, size_t size);
  // Reads from the far end until `size` bytes came or the time-out passed;
  // returns how many came.
  size_t ReadMaster(void* buffer, size_t size, std::chrono::milliseconds timeout);
  // Closes the far end (the slave side then sees a hang-up).
  void CloseMaster();
  // Closes the spare slave descriptor held since creation.
  void CloseSlave();

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slave_path_;
};

}  // namespace platform
