// The program file reader: the fuzzer's bytes (after the first) are the
// file; the first byte sets how many words each read asks for. Every whole
// word must come back in order, a trailing odd byte never.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "download/program_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const std::string path = "/tmp/kxt-fuzz-program-" + std::to_string(getpid()) + ".KXB";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) std::abort();
  if (size > 1 && std::fwrite(data + 1, 1, size - 1, file) != size - 1) std::abort();
  std::fclose(file);

  download::ProgramFile program;
  if (!program.Open(path.c_str())) std::abort();
  size_t limit = data[0] % 32;
  uint16_t words[32];
  size_t total = 0;
  for (;;) {
    size_t got = program.ReadWords(words, limit);
    if (got > limit) std::abort();
    for (size_t i = 0; i < got; ++i) {
      size_t at = 1 + 2 * (total + i);
      if (words[i] != static_cast<uint16_t>(data[at] | data[at + 1] << 8)) std::abort();
    }
    total += got;
    if (got == 0) break;
  }
  if (limit > 0 && total != (size - 1) / 2) std::abort();
  program.Close();
  return 0;
}
