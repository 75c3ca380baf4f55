// Faults the simulated module can be asked to show in its replies, for tests
// of the programs that talk to it. Every "every" count N means the N-th,
// 2N-th, ... occurrence; 0 turns the fault off.
#pragma once

#include <cstdint>

namespace kxtsim {

struct ReplyFaultOptions {
  int delay_ms = 0;        // each reply is held back this long
  int exception_code = 0;  // Modbus exception code answered instead
  int exception_every = 1;
  int error_status = 0;  // Sy/Max error status (Gateway: an error line)
  int error_every = 1;
  int drop_every = 0;     // no reply at all
  int corrupt_every = 0;  // a reply frame whose check is wrong
  int busy_every = 0;     // Sy/Max: DLE SYN instead of acknowledging
  // Sy/Max: enquiry rounds before an unacknowledged reply is given up. A
  // test raises it so that a peer held up by a busy machine still gets the
  // frame again when it finally answers NAK.
  int enquiry_rounds = 32;
};

// Counts requests and frames and says which of them get a fault.
class ReplyFaults {
 public:
  explicit ReplyFaults(ReplyFaultOptions options = {}) : options_(options) {}

  // Called once per request that will be answered; true when it gets the
  // exception reply (exception_code) or the error status (error_status).
  bool NextRequestGetsException() {
    return Hit(options_.exception_code != 0, options_.exception_every, exception_count_);
  }
  bool NextRequestGetsError() {
    return Hit(options_.error_status != 0, options_.error_every, error_count_);
  }
  bool NextReplyDropped() { return Hit(true, options_.drop_every, drop_count_); }
  bool NextFrameCorrupted() { return Hit(true, options_.corrupt_every, corrupt_count_); }
  bool NextFrameAnsweredBusy() { return Hit(true, options_.busy_every, busy_count_); }

  const ReplyFaultOptions& options() const { return options_; }

 private:
  static bool Hit(bool enabled, int every, uint64_t& count) {
    if (!enabled || every <= 0) return false;
    ++count;
    return count % static_cast<uint64_t>(every) == 0;
  }

  ReplyFaultOptions options_;
  uint64_t exception_count_ = 0;
  uint64_t error_count_ = 0;
  uint64_t drop_count_ = 0;
  uint64_t corrupt_count_ = 0;
  uint64_t busy_count_ = 0;
};

}  // namespace kxtsim
