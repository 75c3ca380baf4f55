// A serial link handle without a port or worker for the link harnesses: the
// receivers are fed straight from the fuzzer's bytes. On destruction every
// frame the handle holds goes back to the pool, and the pool must then be
// whole again: a frame lost or given back twice stops the run.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "link/frame_pool.h"
#include "link/link_handle.h"

namespace fuzzing {

class FuzzHandle {
 public:
  explicit FuzzHandle(uint32_t kind) {
    static const bool pool_filled = linklib::AddFramesToPool(kPoolFrames) > 0;
    (void)pool_filled;
    pool_before_ = linklib::PoolSize();
    h = linklib::AllocateHandle();
    if (!h) std::abort();
    h->mark = linklib::kHandleMark;
    h->kind = kind;
    h->mode = static_cast<uint8_t>(kind);
    h->wait_callback = linklib::DefaultWaitCallback;
    h->read_chunk = h->tx_chunk = 258;
    h->reply_timeout = 1;
  }
  ~FuzzHandle() {
    linklib::ReturnListToPool(h->rx_queue);
    linklib::ReturnListToPool(h->tx_queue);
    if (h->rx_frame) linklib::ReturnToPool(h->rx_frame);
    if (h->tx_frame) linklib::ReturnToPool(h->tx_frame);
    linklib::FreeHandle(h);
    if (linklib::PoolSize() != pool_before_) std::abort();
  }
  FuzzHandle(const FuzzHandle&) = delete;
  FuzzHandle& operator=(const FuzzHandle&) = delete;

  linklib::LinkHandle* h = nullptr;

 private:
  static constexpr int kPoolFrames = 6;
  int pool_before_ = 0;
};

}  // namespace fuzzing
