// Runs a program as a child process with a text on its standard input and
// collects what it prints, for tests of the command-line programs.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct ProcessResult {
  bool finished = false;  // false: it did not start, or was killed at the time bound
  int exit_status = -1;   // the exit status when it exited normally
  std::string output;     // standard output and standard error, interleaved
};

// Runs `program` with `args` (argv[1..]), `input` as its whole standard
// input, and kills it once `time_limit_ms` has passed.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = "", int time_limit_ms = 30000);

}  // namespace testsupport
