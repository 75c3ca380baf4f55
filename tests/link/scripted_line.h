// A serial link without a port or worker, for protocol tests: the request
// runs on the test's own thread, and on every poll of its reply wait the
// wait callback plays the device: it pulls whatever the transmitter has to
// send and feeds the next scripted reply to the receiver.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "link/frame_pool.h"
#include "link/link_handle.h"
#include "link/protocols.h"

namespace linklib::testing {

using Bytes = std::vector<uint8_t>;

// "11 03 00 6B" -> bytes.
inline Bytes Hex(const std::string& text) {
  Bytes bytes;
  unsigned value = 0;
  int digits = 0;
  for (char c : text) {
    int d = (c >= '0' && c <= '9')   ? c - '0'
            : (c >= 'A' && c <= 'F') ? c - 'A' + 10
            : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                     : -1;
    if (d < 0) continue;
    value = value * 16 + d;
    if (++digits == 2) {
      bytes.push_back(static_cast<uint8_t>(value));
      value = 0;
      digits = 0;
    }
  }
  return bytes;
}

inline Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

class ScriptedLine {
 public:
  // mode: 2 Gateway, 5 Modbus RTU, 6 Modbus ASCII.
  ScriptedLine(uint8_t mode, uint16_t route_word) {
    AddFramesToPool(8);
    pool_before_ = PoolSize();
    h = AllocateHandle();
    h->mark = kHandleMark;
    h->kind = mode;
    h->mode = mode;
    h->route.count = route_word;
    h->gateway_route_sent.count = 0xFFFF;
    h->reply_timeout = 500;
    h->wait_callback = &ScriptedLine::OnPoll;
    h->read_chunk = h->tx_chunk = 258;
    switch (mode) {
      case 2:
        h->rx_handler = GatewayReceiveByte;
        h->tx_source = GatewayNextByte;
        break;
      case 5:
        h->rx_handler = ModbusRtuReceiveByte;
        h->tx_source = ModbusSerialNextByte;
        break;
      default:
        h->rx_handler = ModbusAsciiReceiveByte;
        h->tx_source = ModbusSerialNextByte;
        break;
    }
    current_ = this;
  }

  ~ScriptedLine() {
    PullSent();
    ReturnListToPool(h->rx_queue);
    ReturnListToPool(h->tx_queue);
    if (h->rx_frame) ReturnToPool(h->rx_frame);
    // Every buffer a request took is back: nothing leaked, nothing doubled.
    EXPECT_EQ(PoolSize(), pool_before_);
    FreeHandle(h);
    current_ = nullptr;
  }

  // Queues a reply, fed on the next poll of a reply wait.
  void Reply(const Bytes& bytes) { replies_.push_back(bytes); }

  // Feeds bytes to the receiver as if they came in one read; an RTU frame
  // ends with the read (the line went quiet).
  void Feed(const Bytes& bytes) {
    for (uint8_t b : bytes) h->rx_handler(h, b);
    if (h->mode == 5 && !bytes.empty()) ModbusRtuEndFrame(h);
  }

  // Pulls everything the transmitter has to send now.
  void PullSent() {
    for (int guard = 0; guard < 4096; ++guard) {
      uint16_t next = h->tx_source(h);
      if (next >= 0x100) return;
      sent_.push_back(static_cast<uint8_t>(next));
    }
    ADD_FAILURE() << "transmitter never ran dry";
  }

  // Bytes sent since the last call.
  Bytes TakeSent() {
    PullSent();
    Bytes bytes;
    bytes.swap(sent_);
    return bytes;
  }
  std::string TakeSentText() {
    Bytes b = TakeSent();
    return std::string(b.begin(), b.end());
  }

  int polls() const { return polls_; }

  LinkHandle* h = nullptr;

 private:
  static uint32_t OnPoll(uint32_t) {
    ScriptedLine* line = current_;
    ++line->polls_;
    line->PullSent();
    if (!line->replies_.empty()) {
      Bytes reply = line->replies_.front();
      line->replies_.pop_front();
      line->Feed(reply);
    }
    return 1;
  }

  static inline ScriptedLine* current_ = nullptr;
  std::deque<Bytes> replies_;
  Bytes sent_;
  int polls_ = 0;
  int pool_before_ = 0;
};

}  // namespace linklib::testing
