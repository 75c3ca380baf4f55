#include "link/reply_wait.h"

#include <chrono>
#include <thread>

namespace linklib {

std::atomic<uint32_t> wait_counter{0};

namespace {
// Set when the wait is cut short, so the poll in progress ends at once
// (a counter that merely ran down still waits out its last poll).
std::atomic<bool> wait_cut{false};
}  // namespace

void EndReplyWait() {
  wait_counter.store(0);
  wait_cut.store(true);
  WakeReplyWait();
}

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(10);

// Called under the list lock: the queue's head is read directly.
bool ReplyReadyOrEnded(const void* context) {
  const LinkHandle* handle = static_cast<const LinkHandle*>(context);
  return handle->rx_queue.head != nullptr || wait_cut.load();
}

}  // namespace

FrameBuffer* WaitForReply(LinkHandle* handle, uint32_t polls) {
  if (FrameBuffer* frame = TakeFrame(handle->rx_queue)) return frame;
  if (polls == 0) return nullptr;
  wait_cut.store(false);
  wait_counter.store(polls);
  while (IsListEmpty(handle->rx_queue)) {
    uint32_t left = wait_counter.load();
    if (left == 0) break;
    wait_counter.compare_exchange_strong(left, left - 1);
    WaitCallback callback = handle->wait_callback ? handle->wait_callback : DefaultWaitCallback;
    if (callback(handle->wait_user) == 0) {
      wait_counter.store(0);
      wait_cut.store(true);
      SetMessage(handle, "Application idle abort");
    }
    std::this_thread::yield();
    // One poll lasts 10 ms unless the reply arrives (or the wait is ended).
    WaitForAppend(std::chrono::steady_clock::now() + kPollInterval, ReplyReadyOrEnded, handle);
  }
  return TakeFrame(handle->rx_queue);
}

void DrainReplies(LinkHandle* handle) { ReturnListToPool(handle->rx_queue); }

}  // namespace linklib
