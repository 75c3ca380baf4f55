#include "tests/support/run_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/select.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace testsupport {
namespace {

using Clock = std::chrono::steady_clock;

// Owns one descriptor.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { Reset(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  void Reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

// The input lives in an anonymous file: the child reads it at its own pace
// and a child that never reads cannot block or signal the parent.
int InputFile(const std::string& input) {
  int fd = memfd_create("stdin", MFD_CLOEXEC);
  if (fd < 0) return -1;
  size_t done = 0;
  while (done < input.size()) {
    ssize_t n = write(fd, input.data() + done, input.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      close(fd);
      return -1;
    }
    done += static_cast<size_t>(n);
  }
  lseek(fd, 0, SEEK_SET);
  return fd;
}

int MillisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits until `fd` is readable or the deadline passes; false at the deadline.
bool WaitReadable(int fd, Clock::time_point deadline) {
  for (;;) {
    int left = MillisecondsLeft(deadline);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(fd, &readable);
    timeval timeout{left / 1000, (left % 1000) * 1000};
    int ready = select(fd + 1, &readable, nullptr, nullptr, &timeout);
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) return false;
  }
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input, int time_limit_ms) {
  ProcessResult result;
  Descriptor input_fd(InputFile(input));
  int pipe_fds[2];
  if (input_fd.get() < 0 || pipe2(pipe_fds, O_CLOEXEC) != 0) return result;
  Descriptor output_read(pipe_fds[0]);
  Descriptor output_write(pipe_fds[1]);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  pid_t pid = fork();
  if (pid < 0) return result;
  if (pid == 0) {
    // Only async-signal-safe calls between fork and exec.
    dup2(input_fd.get(), STDIN_FILENO);
    dup2(output_write.get(), STDOUT_FILENO);
    dup2(output_write.get(), STDERR_FILENO);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  output_write.Reset();

  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(time_limit_ms);
  bool timed_out = false;
  char buffer[4096];
  for (;;) {
    if (!WaitReadable(output_read.get(), deadline)) {
      timed_out = true;
      break;
    }
    ssize_t n = read(output_read.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    result.output.append(buffer, static_cast<size_t>(n));
  }

  // The output has ended; the exit follows, bounded by the same deadline.
  int pidfd = timed_out ? -1 : static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (pidfd >= 0) {
    timed_out = !WaitReadable(pidfd, deadline);
    close(pidfd);
  }
  if (timed_out) kill(pid, SIGKILL);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.finished = !timed_out && WIFEXITED(status);
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace testsupport
