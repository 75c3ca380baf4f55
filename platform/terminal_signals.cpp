#include "platform/terminal_signals.h"

#include <errno.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

// Signals that end the process: the terminal is given back first.
constexpr int kEndingSignals[] = {SIGINT,  SIGTERM, SIGHUP, SIGQUIT, SIGABRT,
                                  SIGSEGV, SIGBUS,  SIGFPE, SIGILL};
constexpr int kSignalSlots = 65;

// Fixed storage: handlers may read these at any moment.
int g_tty = -1;
termios g_saved;
termios g_raw;
char g_enter[160];
std::size_t g_enter_size = 0;
char g_leave[200];  // starts with CAN, which cuts off a sequence the program was writing
std::size_t g_leave_size = 0;
int g_wake = -1;
volatile sig_atomic_t g_armed = 0;  // between Arm and Disarm
volatile sig_atomic_t g_taken = 0;  // raw mode and our screen are in force
volatile sig_atomic_t g_notice = 0;
volatile sig_atomic_t g_released = 0;  // lent to a child program
struct sigaction g_previous[kSignalSlots];
bool g_installed[kSignalSlots] = {};
std::atomic<bool> g_exit_hook_registered{false};

void WriteAll(const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t written = write(g_tty, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

void GiveBack() {
  if (!g_taken) return;
  g_taken = 0;
  WriteAll(g_leave, g_leave_size);
  tcsetattr(g_tty, TCSAFLUSH, &g_saved);
}

// True when the terminal was taken back now; the screen must be redrawn.
bool TakeAgain() {
  if (!g_armed || g_taken || g_released) return false;
  // A program continued in the background must not grab the terminal: it
  // waits until it is brought to the foreground (and continued again).
  if (tcgetpgrp(g_tty) != getpgrp()) return false;
  tcsetattr(g_tty, TCSAFLUSH, &g_raw);
  WriteAll(g_enter, g_enter_size);
  g_taken = 1;
  return true;
}

void RaiseNotice() {
  g_notice = 1;
  if (g_wake >= 0) {
    char byte = 1;
    ssize_t ignored = write(g_wake, &byte, 1);
    (void)ignored;
  }
}

void OnEndingSignal(int signal_number, siginfo_t* info, void*) {
  int saved_errno = errno;
  GiveBack();
  if (signal_number > 0 && signal_number < kSignalSlots) {
    sigaction(signal_number, &g_previous[signal_number], nullptr);
  }
  // A fault raised by the kernel happens again when the handler returns, now
  // reaching the previous disposition; anything else is raised once more.
  bool kernel_fault = (signal_number == SIGSEGV || signal_number == SIGBUS ||
                       signal_number == SIGFPE || signal_number == SIGILL) &&
                      info != nullptr && info->si_code > 0;
  if (!kernel_fault) raise(signal_number);
  errno = saved_errno;
}

void InstallStopHandler();

void OnStop(int) {
  int saved_errno = errno;
  GiveBack();
  struct sigaction default_action;
  std::memset(&default_action, 0, sizeof default_action);
  default_action.sa_handler = SIG_DFL;
  sigemptyset(&default_action.sa_mask);
  sigaction(SIGTSTP, &default_action, nullptr);
  sigset_t stop_only;
  sigset_t previous_mask;
  sigemptyset(&stop_only);
  sigaddset(&stop_only, SIGTSTP);
  sigprocmask(SIG_UNBLOCK, &stop_only, &previous_mask);
  raise(SIGTSTP);  // the process stops here until SIGCONT
  sigprocmask(SIG_SETMASK, &previous_mask, nullptr);
  InstallStopHandler();
  if (TakeAgain()) RaiseNotice();
  errno = saved_errno;
}

void OnContinue(int) {
  int saved_errno = errno;
  if (TakeAgain()) RaiseNotice();
  errno = saved_errno;
}

void OnResize(int) {
  int saved_errno = errno;
  RaiseNotice();
  errno = saved_errno;
}

void Install(int signal_number, void (*handler)(int), bool keep_ignored) {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  struct sigaction previous;
  sigaction(signal_number, nullptr, &previous);
  // A signal the caller ignores (nohup) stays ignored.
  if (keep_ignored && previous.sa_handler == SIG_IGN) return;
  if (sigaction(signal_number, &action, &g_previous[signal_number]) == 0) {
    g_installed[signal_number] = true;
  }
}

void InstallEnding(int signal_number) {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = OnEndingSignal;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  struct sigaction previous;
  sigaction(signal_number, nullptr, &previous);
  if (previous.sa_handler == SIG_IGN) return;
  if (sigaction(signal_number, &action, &g_previous[signal_number]) == 0) {
    g_installed[signal_number] = true;
  }
}

void InstallStopHandler() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTSTP, &action, nullptr);
}

void AtExit() { GiveBack(); }

std::size_t CopyBytes(char* destination, std::size_t capacity, const std::string& bytes) {
  std::size_t size = bytes.size() < capacity ? bytes.size() : capacity;
  std::memcpy(destination, bytes.data(), size);
  return size;
}

}  // namespace

void ArmTerminalSignals(int tty_fd, const termios& saved, const termios& raw,
                        const std::string& enter_bytes, const std::string& leave_bytes,
                        int wake_fd) {
  g_tty = tty_fd;
  g_saved = saved;
  g_raw = raw;
  g_enter_size = CopyBytes(g_enter, sizeof g_enter, enter_bytes);
  g_leave[0] = 0x18;  // CAN
  g_leave_size = 1 + CopyBytes(g_leave + 1, sizeof g_leave - 1, leave_bytes);
  g_wake = wake_fd;
  g_notice = 0;
  g_released = 0;
  g_taken = 1;
  g_armed = 1;
  for (int signal_number : kEndingSignals) InstallEnding(signal_number);
  Install(SIGTSTP, OnStop, true);
  Install(SIGCONT, OnContinue, false);
  Install(SIGWINCH, OnResize, false);
  // exit() without CloseScreen still gives the terminal back.
  if (!g_exit_hook_registered.exchange(true)) std::atexit(AtExit);
}

void DisarmTerminalSignals() {
  GiveBack();
  g_armed = 0;
  for (int signal_number = 1; signal_number < kSignalSlots; ++signal_number) {
    if (!g_installed[signal_number]) continue;
    sigaction(signal_number, &g_previous[signal_number], nullptr);
    g_installed[signal_number] = false;
  }
  g_wake = -1;
}

bool TerminalTaken() { return g_taken != 0; }

bool TakeTerminalNotice() {
  if (!g_notice) return false;
  g_notice = 0;
  return true;
}

void SuspendTerminal() {
  if (g_armed) raise(SIGTSTP);
}

void ReleaseTerminal() {
  if (!g_armed) return;
  g_released = 1;
  GiveBack();
}

void RetakeTerminal() {
  g_released = 0;
  TakeAgain();
}

void EndOnHangup() {
  g_taken = 0;  // nothing can be written to a terminal that is gone
  DisarmTerminalSignals();
  signal(SIGHUP, SIG_DFL);
  raise(SIGHUP);
  _exit(1);
}

}  // namespace platform
