// Starting another program and waiting for its end: the environment's text
// editor (a program and its arguments) and the compiler line (a shell
// command). While the child runs, Ctrl+C and Ctrl+\ belong to it: the
// waiting program ignores them.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct ChildOutcome {
  bool started = false;  // false: start_error holds why exec failed
  int start_error = 0;   // errno of the failed start (ENOENT, ENOEXEC, ...)
  int exit_status = 0;   // exit status, or 128 + signal number when killed
};

// Runs arguments[0] (searched in PATH when it holds no "/") with the given
// arguments and waits for it to end.
ChildOutcome RunProgram(const std::vector<std::string>& arguments);

// Runs a command line through /bin/sh -c and waits for it to end.
ChildOutcome RunShellCommand(const std::string& command);

// True when name would start: a path with "/" that is an executable file, or
// a bare name found as an executable file in a folder of PATH.
bool ProgramExists(const std::string& name);

// The text quoted for /bin/sh so that it reaches the program unchanged.
std::string ShellQuote(const std::string& text);

}  // namespace platform
