#include "kxtsim/wait_loop.h"

#include <algorithm>

namespace kxtsim {

int RunWaitLoop(const std::vector<EventSource*>& sources, int stop_fd) {
  std::vector<platform::PollItem> items;
  std::vector<size_t> starts(sources.size() + 1);
  for (;;) {
    items.clear();
    items.push_back({stop_fd, true, false});
    for (size_t i = 0; i < sources.size(); ++i) {
      starts[i] = items.size();
      sources[i]->AddPollItems(items);
    }
    starts[sources.size()] = items.size();

    int timeout_ms = -1;
    uint64_t now = MonotonicMilliseconds();
    for (EventSource* source : sources) {
      if (auto deadline = source->NextDeadline()) {
        int wait =
            *deadline <= now ? 0 : static_cast<int>(std::min<uint64_t>(*deadline - now, 1000));
        timeout_ms = timeout_ms < 0 ? wait : std::min(timeout_ms, wait);
      }
    }
    if (platform::PollDescriptors(items, timeout_ms) < 0) return 1;
    if (items[0].readable) return 0;
    now = MonotonicMilliseconds();
    for (size_t i = 0; i < sources.size(); ++i) {
      sources[i]->Handle(items.data() + starts[i], starts[i + 1] - starts[i], now);
    }
  }
}

}  // namespace kxtsim
