// kxtload's command line and prompts: the fuzzer's bytes up to the first
// 0xFF are the arguments (separated by NUL bytes), the rest is what the
// prompts read from standard input; the route text is parsed at the end.
#include <cstdio>
#include <cstdlib>

#include "fuzz/command_line_input.h"
#include "kxtload/command_line.h"
#include "kxtload/run_options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FILE* out = std::fopen("/dev/null", "w");
  if (!out) std::abort();
  CommandLineInput input("kxtload", data, size);

  kxtload::RunOptions options;
  kxtload::Outcome outcome = kxtload::ParseArguments(input.argc(), input.argv.data(), out, options);
  if (outcome == kxtload::Outcome::Continue) {
    kxtload::AskChannelAndStatusRegister(input.in, out, options);
    char text[kxtload::kTextLimit];
    kxtload::AskText(input.in, out, "Route: ", text, sizeof text);
    kxtload::ParseRoute(options);
    if (options.route.count > 8) std::abort();
  }
  return 0;
}
