// The program-wide pool of frame buffers and the lists that hold them (the
// pool itself and every handle's receive and transmit queues). Every take and
// append is indivisible: one lock guards all lists.
#pragma once

#include <chrono>
#include <cstdint>

namespace linklib {

struct FrameBuffer {
  FrameBuffer* next = nullptr;
  uint16_t length = 0;
  uint8_t address[18] = {};
  uint8_t data[264] = {};
};

struct FrameList {
  FrameBuffer* head = nullptr;
  FrameBuffer* tail = nullptr;
};

// Takes the first buffer of a list, or null when it is empty.
FrameBuffer* TakeFrame(FrameList& list);
// Appends a buffer at the end of a list and wakes any reply wait.
void AppendFrame(FrameList& list, FrameBuffer* frame);
// True when the list holds no buffer (looked at under the lock).
bool IsListEmpty(const FrameList& list);

FrameList& FramePool();
// Adds up to n zero-filled buffers to the pool (each serial open adds 3);
// returns how many were added. Buffers are never given back to the allocator.
int AddFramesToPool(int n);
// Takes a buffer from the pool, zeroing its length; null when the pool is empty.
FrameBuffer* TakePoolFrame();
// Gives a buffer back to the pool.
void ReturnToPool(FrameBuffer* frame);
// Moves every buffer of a list back to the pool.
void ReturnListToPool(FrameList& list);
// Number of buffers now in the pool (for tests).
int PoolSize();

// Waits until a frame may have been appended anywhere, or the deadline passes.
// Used by the reply wait to wake as soon as a reply is complete.
void WaitForAppend(std::chrono::steady_clock::time_point deadline,
                   bool (*ready)(const void* context), const void* context);
// Wakes the reply wait without appending (the wait counter was cleared).
void WakeReplyWait();

}  // namespace linklib
