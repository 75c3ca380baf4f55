#include "link/line_clock.h"

#include <algorithm>

namespace linklib {

void LineClock::SetFraming(uint32_t baud, int bits_per_character) {
  baud_ = baud ? baud : 1;
  bits_per_character_ = bits_per_character > 0 ? bits_per_character : 1;
}

LineClock::Clock::duration LineClock::WireTime(size_t bytes) const {
  uint64_t bits = static_cast<uint64_t>(bytes) * static_cast<uint64_t>(bits_per_character_);
  auto nanoseconds = std::chrono::nanoseconds(bits * 1000000000ULL / baud_);
  return std::chrono::duration_cast<Clock::duration>(nanoseconds);
}

LineClock::Clock::time_point LineClock::Add(size_t bytes, Clock::time_point now) {
  end_ = std::max(now, end_) + WireTime(bytes);
  return end_;
}

}  // namespace linklib
