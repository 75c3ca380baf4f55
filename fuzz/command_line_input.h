// A fuzzer's bytes as a command line: up to the first 0xFF they are the
// arguments (separated by NUL bytes, at most 64), the rest is what the
// program's prompts read from standard input (with a final newline).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

struct CommandLineInput {
  CommandLineInput(const char* program, const uint8_t* data, size_t size) {
    size_t split = 0;
    while (split < size && data[split] != 0xFF) ++split;
    arguments.push_back(program);
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
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    argv.push_back(nullptr);
    typed.assign(reinterpret_cast<const char*>(data) + (split < size ? split + 1 : size),
                 reinterpret_cast<const char*>(data) + size);
    typed += '\n';
    in = fmemopen(typed.data(), typed.size(), "r");
    if (!in) std::abort();
  }
  ~CommandLineInput() { std::fclose(in); }
  CommandLineInput(const CommandLineInput&) = delete;  // argv points into arguments
  CommandLineInput& operator=(const CommandLineInput&) = delete;

  int argc() const { return static_cast<int>(arguments.size()); }

  std::vector<std::string> arguments;
  std::vector<const char*> argv;
  std::string typed;
  FILE* in = nullptr;
};
