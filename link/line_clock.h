// When bytes handed to a port have left the wire. Drivers take bytes long
// before they are sent (a pseudo-terminal at once), so each port keeps its
// own clock: a write of n bytes ends n character times after the later of
// now and the end of the previous write.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace linklib {

class LineClock {
 public:
  using Clock = std::chrono::steady_clock;

  // Characters of `bits_per_character` bits at `baud` bits per second.
  void SetFraming(uint32_t baud, int bits_per_character);
  // Records `bytes` handed to the port at `now`; returns when the last of
  // them has left the wire.
  Clock::time_point Add(size_t bytes, Clock::time_point now);
  Clock::time_point end() const { return end_; }
  // Time `bytes` characters take on the wire.
  Clock::duration WireTime(size_t bytes) const;

 private:
  uint32_t baud_ = 9600;
  int bits_per_character_ = 11;
  Clock::time_point end_{};
};

}  // namespace linklib
