// The part of the terminal that signal handlers see: the saved and the raw
// settings and the bytes that give the terminal back, kept where an
// async-signal-safe handler can use them with write() and tcsetattr() alone.
#pragma once

#include <termios.h>

#include <string>

namespace platform {

// Installs the handlers and remembers how to give the terminal back and take
// it again. wake_fd is written to (one byte) when a repaint notice is raised.
void ArmTerminalSignals(int tty_fd, const termios& saved, const termios& raw,
                        const std::string& enter_bytes, const std::string& leave_bytes,
                        int wake_fd);
// Gives the terminal back (if it is taken) and removes the handlers.
void DisarmTerminalSignals();
bool TakeTerminalNotice();
// Raw mode and our screen are in force (not while stopped or in the background).
bool TerminalTaken();
// Gives the terminal back as a stop signal does, stops, and takes it back.
void SuspendTerminal();
// Lends the terminal to a foreground child until RetakeTerminal; a
// continue signal in between leaves it with the child.
void ReleaseTerminal();
void RetakeTerminal();
// The terminal is gone: give it back as far as possible and end as SIGHUP does.
[[noreturn]] void EndOnHangup();

}  // namespace platform
