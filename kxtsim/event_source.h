// Something kxtsim's wait loop serves: it names the descriptors it waits on,
// handles what they report and says when it wants to run again.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/descriptor_poll.h"

namespace kxtsim {

inline uint64_t MonotonicMilliseconds() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

class EventSource {
 public:
  virtual ~EventSource() = default;
  // Appends the descriptors to wait on.
  virtual void AddPollItems(std::vector<platform::PollItem>& items) = 0;
  // Called after every wait with the items this source added (in order) and
  // the current time, whether or not any of them reported.
  virtual void Handle(const platform::PollItem* items, size_t count, uint64_t now_ms) = 0;
  // The time by which Handle must run again, if any.
  virtual std::optional<uint64_t> NextDeadline() const = 0;
};

}  // namespace kxtsim
