// quillet's command line: the fuzzer's bytes up to the first 0xFF are the
// arguments (separated by NUL bytes), the rest is what the address prompt
// reads from standard input.
#include <cstdio>
#include <cstdlib>

#include "fuzz/command_line_input.h"
#include "quillet/command_line.h"
#include "quillet/run_options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FILE* out = std::fopen("/dev/null", "w");
  if (!out) std::abort();
  CommandLineInput input("quillet", data, size);
  quillet::RunOptions options;
  quillet::ParseCommandLine(input.argc(), input.argv.data(), input.in, out, options);
  if (options.route.count > 8) std::abort();
  return 0;
}
