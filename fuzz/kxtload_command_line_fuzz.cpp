// kxtload's command line and prompts: the fuzzer's bytes up to the first
// 0xFF are the arguments (separated by NUL bytes), the rest is what the
// prompts read from standard input; the route text is parsed at the end.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kxtload/command_line.h"
#include "kxtload/run_options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FILE* out = std::fopen("/dev/null", "w");
  if (!out) std::abort();
  size_t split = 0;
  while (split < size && data[split] != 0xFF) ++split;
  std::vector<std::string> arguments = {"kxtload"};
  std::string current;
  for (size_t i = 0; i < split && arguments.size() < 64; ++i) {
    if (data[i] == 0) {
      arguments.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  if (!current.empty()) arguments.push_back(current);
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  argv.push_back(nullptr);

  std::string input(reinterpret_cast<const char*>(data) + (split < size ? split + 1 : size),
                    reinterpret_cast<const char*>(data) + size);
  input += '\n';
  FILE* in = fmemopen(input.data(), input.size(), "r");
  if (!in) std::abort();

  kxtload::RunOptions options;
  kxtload::Outcome outcome =
      kxtload::ParseArguments(static_cast<int>(arguments.size()), argv.data(), out, options);
  if (outcome == kxtload::Outcome::Continue) {
    kxtload::AskChannelAndStatusRegister(in, out, options);
    char text[kxtload::kTextLimit];
    kxtload::AskText(in, out, "Route: ", text, sizeof text);
    kxtload::ParseRoute(options);
    if (options.route.count > 8) std::abort();
  }
  std::fclose(in);
  return 0;
}
