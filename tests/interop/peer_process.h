// Starts a peer program (a slave or master from another implementation) as a
// child process, waits (bounded) for its "READY <path>" line and stops it
// again when the test is done.
#pragma once

#include <signal.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace interop {

class PeerProcess {
 public:
  static std::unique_ptr<PeerProcess> Start(const std::vector<std::string>& argv,
                                            std::chrono::seconds time_limit) {
    int out[2];
    if (pipe(out) != 0) return nullptr;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
      close(out[0]);
      close(out[1]);
      return nullptr;
    }
    if (pid == 0) {
      dup2(out[1], 1);
      close(out[0]);
      close(out[1]);
      execv(args[0], args.data());
      _exit(127);
    }
    close(out[1]);
    std::unique_ptr<PeerProcess> peer(new PeerProcess(pid, out[0]));
    if (!peer->WaitForReady(std::chrono::steady_clock::now() + time_limit)) return nullptr;
    return peer;
  }

  ~PeerProcess() {
    kill(pid_, SIGTERM);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    close(output_);
  }

  const std::string& device_path() const { return device_path_; }
  const std::string& output() const { return text_; }

 private:
  PeerProcess(pid_t pid, int output) : pid_(pid), output_(output) {}

  bool WaitForReady(std::chrono::steady_clock::time_point deadline) {
    for (;;) {
      size_t ready = text_.find("READY ");
      size_t end = ready == std::string::npos ? ready : text_.find('\n', ready);
      if (end != std::string::npos) {
        device_path_ = text_.substr(ready + 6, end - ready - 6);
        return true;
      }
      auto left = std::chrono::duration_cast<std::chrono::microseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(output_, &readable);
      timeval timeout{static_cast<time_t>(left.count() / 1000000),
                      static_cast<suseconds_t>(left.count() % 1000000)};
      int n = select(output_ + 1, &readable, nullptr, nullptr, &timeout);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      char buffer[256];
      ssize_t got = read(output_, buffer, sizeof buffer);
      if (got <= 0) return false;  // the peer ended before it was ready
      text_.append(buffer, static_cast<size_t>(got));
    }
  }

  pid_t pid_;
  int output_;
  std::string device_path_;
  std::string text_;
};

}  // namespace interop
