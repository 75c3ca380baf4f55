// Starts kxtsim as a child process for integration tests and stops it again.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class SimProcess {
 public:
  // Starts KXT_BIN_DIR/kxtsim with `args` and waits (bounded) for its ready
  // line. Null when it did not start. The program is looked for in the
  // KXT_BIN_DIR environment variable's folder, else beside the running test.
  static std::unique_ptr<SimProcess> Start(const std::vector<std::string>& args);
  ~SimProcess();  // SIGTERM, then waits for the process

  int tcp_port() const { return tcp_port_; }                       // 0 unless --tcp
  const std::string& device_path() const { return device_path_; }  // pty slave path
  int pid() const { return pid_; }
  // Everything kxtsim has printed so far (its -v request lines among them).
  std::string Output();
  // Waits (bounded by `timeout_ms`) until the output holds `text`.
  bool WaitForOutput(const std::string& text, int timeout_ms);
  // Sends SIGTERM and waits for the end; the exit status, or -1 when the
  // process did not end normally within the bound.
  int Stop();

 private:
  SimProcess() = default;
  void DrainOutput();

  int pid_ = -1;
  int output_fd_ = -1;
  int tcp_port_ = 0;
  std::string device_path_;
  std::string output_;
  std::mutex output_mutex_;
  std::condition_variable output_changed_;
  bool output_closed_ = false;
  std::thread drain_thread_;
  int exit_status_ = -1;
  bool stopped_ = false;
};

}  // namespace testsupport
