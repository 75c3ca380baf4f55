// A wake-up event for a thread that waits on descriptors: another thread
// signals it, the waiting thread sees its descriptor become readable.
#pragma once

namespace platform {

class Event {
 public:
  Event();
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  // False when the event could not be created.
  bool valid() const { return fd_ >= 0; }
  // Makes the descriptor readable until Clear (signals pile up into one).
  void Signal();
  // Consumes every signal given so far.
  void Clear();
  // Descriptor to wait on for readability.
  int descriptor() const { return fd_; }

 private:
  int fd_ = -1;
};

}  // namespace platform
