// The slave side of the Sy/Max serial line: acknowledges good frames and
// rejects bad ones, serves each request and sends the reply back along the
// reversed route, then waits for the reply's acknowledgement with fillers
// and enquiries, retransmitting on a negative acknowledgement.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "kxtsim/module_model.h"
#include "kxtsim/reply_faults.h"
#include "kxtsim/request_log.h"
#include "kxtsim/serial_slave.h"
#include "kxtsim/symax_check.h"

namespace kxtsim {

class SymaxSlave : public SerialSlave {
 public:
  SymaxSlave(ModuleModel& model, ReplyFaults& faults, bool crc, RequestLog log = {});

  void Receive(uint8_t byte, uint64_t now_ms) override;
  bool NextByte(uint64_t now_ms, uint8_t& byte) override;
  std::optional<uint64_t> NextOutputTime() const override;

 private:
  enum class RxState { Idle, Sequence, Route, Data, Check };
  struct Frame {
    uint8_t sequence = 0;
    std::vector<uint8_t> route;
    std::vector<uint8_t> data;
    bool operator==(const Frame&) const = default;
  };

  void ControlPair(uint8_t byte, uint64_t now_ms);
  void FrameByte(uint8_t byte);
  void RejectFrame();
  void AcceptFrame(uint64_t now_ms);
  void QueueControl(uint8_t byte);
  void StartTransmission();
  void OnNegativeAcknowledge(bool reset_retries);
  std::vector<uint8_t> EncodeReply(bool corrupt, std::vector<bool>& pair_starts) const;

  ModuleModel& model_;
  ReplyFaults& faults_;
  bool crc_;
  RequestLog log_;

  // Receiving.
  RxState rx_state_ = RxState::Idle;
  bool after_dle_ = false;
  Frame rx_frame_;
  SymaxCheck rx_check_;
  std::vector<uint8_t> rx_check_bytes_;
  std::optional<Frame> last_accepted_;
  uint8_t last_response_;  // what an enquiry is answered with

  // Sending.
  std::deque<uint8_t> control_;  // DLE pairs due
  std::optional<Frame> reply_;   // the reply being sent or waiting for its acknowledgement
  uint64_t reply_due_ms_ = 0;
  uint8_t tx_sequence_;
  std::vector<uint8_t> tx_bytes_;
  std::vector<bool> tx_pair_starts_;
  size_t tx_position_ = 0;
  bool transmitting_ = false;
  bool mid_pair_ = false;  // the last byte sent opened a DLE pair of the frame
  bool awaiting_ack_ = false;
  int retries_left_ = 0;
  int fillers_left_ = 0;
  int enquiries_left_ = 0;
};

}  // namespace kxtsim
