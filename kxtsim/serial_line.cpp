#include "kxtsim/serial_line.h"

#include <algorithm>
#include <chrono>

namespace kxtsim {
namespace {

// After a hang-up with nothing to read, reading pauses this long instead of
// spinning.
constexpr uint64_t kHangUpPauseMs = 100;
// How far ahead of the line bytes may be handed to the device.
constexpr uint64_t kLeadMicroseconds = 2000;

}  // namespace

uint64_t CharacterMicroseconds(uint32_t baud, int bits_per_character) {
  if (baud == 0) return 0;
  return (static_cast<uint64_t>(bits_per_character) * 1000000u + baud - 1) / baud;
}

SerialLine::SerialLine(std::unique_ptr<platform::SerialEndpoint> endpoint, SerialSlave& slave,
                       uint64_t character_us, uint64_t quiet_ms)
    : endpoint_(std::move(endpoint)),
      slave_(slave),
      character_us_(character_us),
      quiet_ms_(quiet_ms) {}

uint64_t SerialLine::NowMicroseconds() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void SerialLine::AddPollItems(std::vector<platform::PollItem>& items) {
  bool read = MonotonicMilliseconds() >= read_pause_until_ms_;
  items.push_back({endpoint_->fd(), read, !unsent_.empty()});
}

void SerialLine::Handle(const platform::PollItem* items, size_t count, uint64_t now_ms) {
  if (count > 0 && (items[0].readable || items[0].hung_up)) {
    ReceiveAvailable(now_ms);
    if (items[0].hung_up && !items[0].readable) read_pause_until_ms_ = now_ms + kHangUpPauseMs;
  }
  if (quiet_at_ms_ && now_ms >= *quiet_at_ms_) {
    quiet_at_ms_.reset();
    slave_.LineQuiet(now_ms);
    more_to_send_ = true;
  }
  Transmit();
}

void SerialLine::ReceiveAvailable(uint64_t now_ms) {
  uint8_t buffer[1024];
  for (;;) {
    long got = endpoint_->Read(buffer, sizeof buffer);
    if (got <= 0) {
      if (got < 0) read_pause_until_ms_ = now_ms + kHangUpPauseMs;
      return;
    }
    for (long i = 0; i < got; ++i) slave_.Receive(buffer[i], now_ms);
    if (quiet_ms_ > 0) quiet_at_ms_ = now_ms + quiet_ms_;
    more_to_send_ = true;
  }
}

void SerialLine::Transmit() {
  uint64_t now_us = NowMicroseconds();
  for (;;) {
    if (!unsent_.empty()) {
      long sent = endpoint_->Write(unsent_.data(), unsent_.size());
      if (sent > 0) unsent_.erase(unsent_.begin(), unsent_.begin() + sent);
      if (!unsent_.empty()) return;  // the device is full: wait until it is writable
    }
    // Bytes are handed over as the line frees, up to a small lead so that the
    // wait loop's millisecond wake-ups still keep the line busy.
    if (line_free_at_us_ > now_us + kLeadMicroseconds) return;
    uint8_t byte;
    if (!slave_.NextByte(now_us / 1000, byte)) {
      more_to_send_ = false;
      return;
    }
    more_to_send_ = true;
    line_free_at_us_ = std::max(line_free_at_us_, now_us) + character_us_;
    unsent_.push_back(byte);
  }
}

std::optional<uint64_t> SerialLine::NextDeadline() const {
  std::optional<uint64_t> deadline;
  auto consider = [&](uint64_t ms) {
    if (!deadline || ms < *deadline) deadline = ms;
  };
  if (more_to_send_ && unsent_.empty()) {
    uint64_t due_us =
        line_free_at_us_ > kLeadMicroseconds ? line_free_at_us_ - kLeadMicroseconds : 0;
    consider((due_us + 999) / 1000);
  }
  if (auto when = slave_.NextOutputTime()) consider(*when);
  if (quiet_at_ms_) consider(*quiet_at_ms_);
  if (read_pause_until_ms_ > 0) consider(read_pause_until_ms_);
  return deadline;
}

}  // namespace kxtsim
