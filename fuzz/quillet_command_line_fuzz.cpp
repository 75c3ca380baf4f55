// quillet's command line: the fuzzer's bytes up to the first 0xFF are the
// arguments (separated by NUL bytes), the rest is what the address prompt
// reads from standard input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "quillet/command_line.h"
#include "quillet/run_options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FILE* out = std::fopen("/dev/null", "w");
  if (!out) std::abort();
  size_t split = 0;
  while (split < size && data[split] != 0xFF) ++split;
  std::vector<std::string> arguments = {"quillet"};
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
  quillet::RunOptions options;
  quillet::ParseCommandLine(static_cast<int>(arguments.size()), argv.data(), in, out, options);
  if (options.route.count > 8) std::abort();
  std::fclose(in);
  return 0;
}
