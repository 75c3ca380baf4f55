#include "link/frame_pool.h"

#include <condition_variable>
#include <mutex>
#include <new>

namespace linklib {
namespace {

std::mutex& ListLock() {
  static std::mutex lock;
  return lock;
}

std::condition_variable& AppendSignal() {
  static std::condition_variable signal;
  return signal;
}

FrameBuffer* TakeLocked(FrameList& list) {
  FrameBuffer* frame = list.head;
  if (frame) {
    list.head = frame->next;
    if (!list.head) list.tail = nullptr;
    frame->next = nullptr;
  }
  return frame;
}

void AppendLocked(FrameList& list, FrameBuffer* frame) {
  frame->next = nullptr;
  if (list.tail)
    list.tail->next = frame;
  else
    list.head = frame;
  list.tail = frame;
}

}  // namespace

FrameBuffer* TakeFrame(FrameList& list) {
  std::lock_guard<std::mutex> guard(ListLock());
  return TakeLocked(list);
}

void AppendFrame(FrameList& list, FrameBuffer* frame) {
  if (!frame) return;
  {
    std::lock_guard<std::mutex> guard(ListLock());
    AppendLocked(list, frame);
  }
  AppendSignal().notify_all();
}

bool IsListEmpty(const FrameList& list) {
  std::lock_guard<std::mutex> guard(ListLock());
  return list.head == nullptr;
}

FrameList& FramePool() {
  static FrameList pool;
  return pool;
}

int AddFramesToPool(int n) {
  int added = 0;
  for (int i = 0; i < n; ++i) {
    FrameBuffer* frame = new (std::nothrow) FrameBuffer();
    if (!frame) continue;
    AppendFrame(FramePool(), frame);
    ++added;
  }
  return added;
}

FrameBuffer* TakePoolFrame() {
  FrameBuffer* frame = TakeFrame(FramePool());
  if (frame) frame->length = 0;
  return frame;
}

void ReturnToPool(FrameBuffer* frame) { AppendFrame(FramePool(), frame); }

void ReturnListToPool(FrameList& list) {
  std::lock_guard<std::mutex> guard(ListLock());
  while (FrameBuffer* frame = TakeLocked(list)) AppendLocked(FramePool(), frame);
}

int PoolSize() {
  std::lock_guard<std::mutex> guard(ListLock());
  int n = 0;
  for (FrameBuffer* f = FramePool().head; f; f = f->next) ++n;
  return n;
}

void WaitForAppend(std::chrono::steady_clock::time_point deadline,
                   bool (*ready)(const void* context), const void* context) {
  std::unique_lock<std::mutex> guard(ListLock());
  AppendSignal().wait_until(guard, deadline, [&] { return ready(context); });
}

void WakeReplyWait() {
  { std::lock_guard<std::mutex> guard(ListLock()); }
  AppendSignal().notify_all();
}

}  // namespace linklib
