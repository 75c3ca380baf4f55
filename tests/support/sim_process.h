// Starts kxtsim as a child process for integration tests and stops it again.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace testsupport {

class SimProcess {
 public:
  // Starts KXT_BIN_DIR/kxtsim with `args` and waits (bounded) for its ready
  // line. Null when it did not start.
  static std::unique_ptr<SimProcess> Start(const std::vector<std::string>& args);
  ~SimProcess();  // SIGTERM, then waits for the process

  int tcp_port() const { return tcp_port_; }               // 0 unless --tcp
  const std::string& device_path() const { return device_path_; }  // pty slave path
  int pid() const { return pid_; }
  // Everything kxtsim has printed so far (its -v request lines among them).
  std::string Output();

 private:
  SimProcess() = default;
  int pid_ = -1;
  int output_fd_ = -1;
  int tcp_port_ = 0;
  std::string device_path_;
  std::string output_;
};

}  // namespace testsupport
