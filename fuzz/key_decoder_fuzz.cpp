// The key decoder: the fuzzer's bytes come in pairs, a byte from the
// terminal and the milliseconds since the one before, so that held-back
// Escapes and sequences are cut by time as well as by bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "console/key_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  console::KeyDecoder decoder;
  int64_t now = 1000;
  for (size_t i = 0; i + 1 < size; i += 2) {
    now += data[i + 1] % 64;
    decoder.Expire(now);
    decoder.Feed(data[i], now);
    while (decoder.HasKey()) {
      int key = decoder.TakeKey();
      if (key < 0 || key > 0xFFFF) std::abort();  // a key code, never garbage
    }
    if (data[i + 1] == 0xFF) decoder.Reset();
  }
  decoder.Expire(now + console::KeyDecoder::kEscapeTimeoutMs + 1);
  while (decoder.HasKey()) decoder.TakeKey();
  if (decoder.Waiting()) std::abort();  // a lone Escape or sequence outlived its time
  return 0;
}
