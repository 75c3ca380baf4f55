// The reply wait of the serial link kinds: polls the handle's receive queue
// every 10 ms for up to T polls, calling the wait callback on each poll, and
// wakes at once when a reply is queued.
#pragma once

#include <atomic>
#include <cstdint>

#include "link/link_handle.h"

namespace linklib {

// Polls left in the reply wait that is running (one wait at a time in the
// program). A receiver that meets an unusable reply clears it with
// EndReplyWait, which ends the wait.
extern std::atomic<uint32_t> wait_counter;
void EndReplyWait();

// Returns the first frame of rx_queue, waiting up to `polls` polls; null when
// none came (the message then is whatever the protocol preset, or
// "Application idle abort" when the callback abandoned the wait).
FrameBuffer* WaitForReply(LinkHandle* handle, uint32_t polls);

// Returns every frame of rx_queue to the pool (before a request is built).
void DrainReplies(LinkHandle* handle);

}  // namespace linklib
