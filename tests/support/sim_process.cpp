#include "tests/support/sim_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace testsupport {
namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr int kStopTimeoutMs = 10000;

std::string KxtsimPath() {
  if (const char* dir = std::getenv("KXT_BIN_DIR"); dir != nullptr && *dir != '\0') {
    return std::string(dir) + "/kxtsim";
  }
  char self[4096];
  ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return "kxtsim";
  std::string path(self, static_cast<size_t>(length));
  return path.substr(0, path.rfind('/') + 1) + "kxtsim";
}

std::string ValueAfter(const std::string& output, const std::string& prefix) {
  size_t at = output.find(prefix);
  if (at == std::string::npos) return "";
  size_t end = output.find('\n', at);
  return output.substr(at + prefix.size(), end - at - prefix.size());
}

}  // namespace

std::unique_ptr<SimProcess> SimProcess::Start(const std::vector<std::string>& args) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return nullptr;
  std::string program = KxtsimPath();
  std::vector<std::string> all{program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : all) argv.push_back(arg.data());
  argv.push_back(nullptr);

  pid_t pid = fork();
  if (pid < 0) {
    close(ends[0]);
    close(ends[1]);
    return nullptr;
  }
  if (pid == 0) {
    dup2(ends[1], STDOUT_FILENO);
    dup2(ends[1], STDERR_FILENO);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(ends[1]);
  std::unique_ptr<SimProcess> process(new SimProcess());
  process->pid_ = pid;
  process->output_fd_ = ends[0];
  process->drain_thread_ = std::thread([p = process.get()] { p->DrainOutput(); });
  if (!process->WaitForOutput("kxtsim: ready\n", kStartTimeoutMs)) return nullptr;
  std::string output = process->Output();
  process->tcp_port_ = std::atoi(ValueAfter(output, "kxtsim: listening on tcp port ").c_str());
  process->device_path_ = ValueAfter(output, "kxtsim: serial device ");
  return process;
}

void SimProcess::DrainOutput() {
  char buffer[4096];
  for (;;) {
    ssize_t got = read(output_fd_, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      std::lock_guard<std::mutex> lock(output_mutex_);
      output_closed_ = true;
      output_changed_.notify_all();
      return;
    }
    std::lock_guard<std::mutex> lock(output_mutex_);
    output_.append(buffer, static_cast<size_t>(got));
    output_changed_.notify_all();
  }
}

std::string SimProcess::Output() {
  std::lock_guard<std::mutex> lock(output_mutex_);
  return output_;
}

bool SimProcess::WaitForOutput(const std::string& text, int timeout_ms) {
  std::unique_lock<std::mutex> lock(output_mutex_);
  return output_changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
    return output_.find(text) != std::string::npos || output_closed_;
  }) && output_.find(text) != std::string::npos;
}

int SimProcess::Stop() {
  if (stopped_) return exit_status_;
  stopped_ = true;
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStopTimeoutMs);
    // The end of the output pipe tells that the process has gone.
    bool ended = false;
    {
      std::unique_lock<std::mutex> lock(output_mutex_);
      ended = output_changed_.wait_until(lock, deadline, [&] { return output_closed_; });
    }
    if (!ended) kill(pid_, SIGKILL);
    int status = 0;
    if (waitpid(pid_, &status, 0) == pid_ && ended && WIFEXITED(status)) {
      exit_status_ = WEXITSTATUS(status);
    }
  }
  if (drain_thread_.joinable()) drain_thread_.join();
  if (output_fd_ >= 0) close(output_fd_);
  output_fd_ = -1;
  return exit_status_;
}

SimProcess::~SimProcess() { Stop(); }

}  // namespace testsupport
