// The controlling terminal of a full-screen program: raw mode and what the
// program sends on taking and on giving back the terminal, restored on every
// way out (normal end, exit, SIGINT, SIGTERM, SIGHUP, SIGQUIT and the fatal
// signals). SIGTSTP gives the terminal back before the program stops; on
// SIGCONT it is taken again and a repaint notice is raised. One terminal per
// process (signals are process-wide).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class Terminal {
 public:
  Terminal() = default;
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;
  ~Terminal() { Close(); }

  // Opens /dev/tty, refuses a terminal smaller than min_columns x min_rows,
  // enters raw mode and sends enter_bytes; leave_bytes are sent whenever the
  // terminal is given back. On failure returns false with the reason in
  // message, leaving the terminal untouched.
  bool Open(int min_columns, int min_rows, const std::string& enter_bytes,
            const std::string& leave_bytes, std::string& message);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  void Write(const char* data, std::size_t size);
  // Waits up to timeout_ms (< 0: without limit) for input; returns the
  // number of bytes read, 0 on time-out or when a repaint notice arrived.
  // A terminal that hung up ends the process as SIGHUP does.
  int Read(unsigned char* buffer, int capacity, int timeout_ms);
  // True once after SIGCONT or SIGWINCH.
  bool TakeRepaintNotice();
  // Ctrl+Z: stops the process as SIGTSTP does (terminal given back first).
  void Suspend();
  // Gives the terminal back for another program's run in the foreground;
  // Retake takes it again (a continue signal meanwhile does not).
  void Release();
  void Retake();

  static std::int64_t NowMilliseconds();

 private:
  int fd_ = -1;
};

}  // namespace platform
