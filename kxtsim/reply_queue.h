// Replies waiting to go out on a serial line, each from its due time on
// (later than now when a reply delay is configured), sent in order.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace kxtsim {

class ReplyQueue {
 public:
  void Add(uint64_t due_ms, std::vector<uint8_t> bytes) {
    if (!bytes.empty()) replies_.push_back({due_ms, std::move(bytes), 0});
  }
  bool NextByte(uint64_t now_ms, uint8_t& byte) {
    if (replies_.empty() || replies_.front().due_ms > now_ms) return false;
    Reply& reply = replies_.front();
    byte = reply.bytes[reply.position++];
    if (reply.position == reply.bytes.size()) replies_.pop_front();
    return true;
  }
  std::optional<uint64_t> NextTime() const {
    if (replies_.empty()) return std::nullopt;
    return replies_.front().due_ms;
  }

 private:
  struct Reply {
    uint64_t due_ms;
    std::vector<uint8_t> bytes;
    size_t position;
  };
  std::deque<Reply> replies_;
};

}  // namespace kxtsim
