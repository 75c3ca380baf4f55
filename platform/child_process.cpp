#include "platform/child_process.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

// Ctrl+C and Ctrl+\ reach the whole foreground group: the child acts on
// them, the waiting parent must not end.
class InterruptsIgnored {
 public:
  InterruptsIgnored() {
    struct sigaction ignore;
    std::memset(&ignore, 0, sizeof ignore);
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGINT, &ignore, &interrupt_);
    sigaction(SIGQUIT, &ignore, &quit_);
  }
  ~InterruptsIgnored() {
    sigaction(SIGINT, &interrupt_, nullptr);
    sigaction(SIGQUIT, &quit_, nullptr);
  }
  InterruptsIgnored(const InterruptsIgnored&) = delete;
  InterruptsIgnored& operator=(const InterruptsIgnored&) = delete;

 private:
  struct sigaction interrupt_;
  struct sigaction quit_;
};

void RestoreDefaultsInChild() {
  signal(SIGINT, SIG_DFL);
  signal(SIGQUIT, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
}

int WaitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return 127;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 127;
}

bool IsExecutableFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

}  // namespace

ChildOutcome RunProgram(const std::vector<std::string>& arguments) {
  ChildOutcome outcome;
  if (arguments.empty()) {
    outcome.start_error = ENOENT;
    return outcome;
  }
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  // The child reports a failed exec through this pipe; a successful exec
  // closes it (close-on-exec), so the parent reads nothing.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    outcome.start_error = errno;
    return outcome;
  }
  InterruptsIgnored interrupts;
  pid_t pid = fork();
  if (pid < 0) {
    outcome.start_error = errno;
    close(report[0]);
    close(report[1]);
    return outcome;
  }
  if (pid == 0) {
    close(report[0]);
    RestoreDefaultsInChild();
    if (std::strchr(argv[0], '/') != nullptr)
      execv(argv[0], argv.data());
    else
      execvp(argv[0], argv.data());
    int error = errno;
    ssize_t ignored = write(report[1], &error, sizeof error);
    (void)ignored;
    _exit(127);
  }
  close(report[1]);
  int error = 0;
  ssize_t got;
  do {
    got = read(report[0], &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  close(report[0]);
  int status = WaitFor(pid);
  if (got == static_cast<ssize_t>(sizeof error)) {
    outcome.start_error = error;
    return outcome;
  }
  outcome.started = true;
  outcome.exit_status = status;
  return outcome;
}

ChildOutcome RunShellCommand(const std::string& command) {
  return RunProgram({"/bin/sh", "-c", command});
}

bool ProgramExists(const std::string& name) {
  if (name.empty()) return false;
  if (name.find('/') != std::string::npos) return IsExecutableFile(name);
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  size_t start = 0;
  for (;;) {
    size_t end = folders.find(':', start);
    const size_t length = end == std::string::npos ? folders.size() - start : end - start;
    // An empty entry of PATH stands for the current folder.
    const std::string candidate =
        length == 0 ? "./" + name : folders.substr(start, length) + "/" + name;
    if (IsExecutableFile(candidate)) return true;
    if (end == std::string::npos) return false;
    start = end + 1;
  }
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  quoted += "'";
  return quoted;
}

}  // namespace platform
