// kxtsim's single wait loop: serves every event source until a stop signal.
#pragma once

#include <vector>

#include "kxtsim/event_source.h"

namespace kxtsim {

// Returns 0 after a stop signal made `stop_fd` readable, 1 when waiting failed.
int RunWaitLoop(const std::vector<EventSource*>& sources, int stop_fd);

}  // namespace kxtsim
