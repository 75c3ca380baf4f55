// A Sy/Max handle without a port or worker, for driving the protocol's state
// machines byte by byte: bytes go in through SymaxReceiveByte and come out of
// SymaxNextByte, on the test's own thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "link/link_handle.h"
#include "link/protocols.h"

namespace linklib::testing {

using Bytes = std::vector<uint8_t>;

// "10 01 11" -> {0x10, 0x01, 0x11}
inline Bytes Hex(const std::string& text) {
  Bytes out;
  unsigned value = 0;
  int consumed = 0;
  const char* p = text.c_str();
  while (std::sscanf(p, "%2x%n", &value, &consumed) == 1) {
    out.push_back(static_cast<uint8_t>(value));
    p += consumed;
  }
  return out;
}

inline std::string ToHex(const Bytes& bytes) {
  std::string out;
  char piece[4];
  for (uint8_t b : bytes) {
    std::snprintf(piece, sizeof piece, out.empty() ? "%02X" : " %02X", b);
    out += piece;
  }
  return out;
}

class SymaxMachine {
 public:
  explicit SymaxMachine(bool crc = false) {
    AddFramesToPool(3);  // what an open adds
    h = AllocateHandle();
    h->mark = kHandleMark;
    h->kind = kKindSymax;
    h->mode = 1;
    h->tx_seq = 0x11;
    h->response_char = 0x15;
    h->rx_seq = 0x15;
    h->wait_callback = DefaultWaitCallback;
    h->rx_handler = SymaxReceiveByte;
    h->tx_source = SymaxNextByte;
    h->read_chunk = h->tx_chunk = 8;
    h->reply_timeout = 0;  // requests only queue their frame
    if (crc) h->link_flags |= kFlagCrc;
  }
  ~SymaxMachine() {
    ReturnListToPool(h->rx_queue);
    ReturnListToPool(h->tx_queue);
    if (h->tx_frame) ReturnToPool(h->tx_frame);
    if (h->rx_frame) ReturnToPool(h->rx_frame);
    FreeHandle(h);
  }
  SymaxMachine(const SymaxMachine&) = delete;
  SymaxMachine& operator=(const SymaxMachine&) = delete;

  void Feed(const Bytes& bytes) {
    for (uint8_t b : bytes) SymaxReceiveByte(h, b);
  }

  // Everything the transmitter has to send now, up to `limit` bytes.
  Bytes Pull(size_t limit = 2000) {
    Bytes out;
    while (out.size() < limit) {
      uint16_t next = SymaxNextByte(h);
      if (next >= 0x100) break;
      out.push_back(static_cast<uint8_t>(next));
    }
    return out;
  }

  // The bytes up to and including the check of the frame being sent (the
  // transmitter then waits for its acknowledgement).
  Bytes PullFrame() {
    Bytes out;
    while (out.size() < 600) {
      uint16_t next = SymaxNextByte(h);
      if (next >= 0x100) break;
      out.push_back(static_cast<uint8_t>(next));
      if (h->tx_state == 10) break;
    }
    return out;
  }

  LinkHandle* h;
};

}  // namespace linklib::testing
