// One Modbus TCP client connection: splits the byte stream into requests by
// their header's length field, serves each against the module and queues the
// replies, held back by the reply delay when one is configured.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "kxtsim/module_model.h"
#include "kxtsim/reply_faults.h"
#include "kxtsim/request_log.h"

namespace kxtsim {

class ModbusTcpSession {
 public:
  ModbusTcpSession(ModuleModel& model, ReplyFaults& faults, RequestLog log = {});

  // Takes received bytes. False when the stream cannot be a Modbus TCP
  // stream (protocol identifier not 0, a length field out of range): the
  // connection is then to be closed.
  bool Receive(const uint8_t* data, size_t length, uint64_t now_ms);

  // Appends every reply due by `now_ms` to `out`.
  void TakeDueReplies(uint64_t now_ms, std::vector<uint8_t>& out);
  // When the next held-back reply is due.
  std::optional<uint64_t> NextDue() const;

 private:
  bool ServeOne(const uint8_t* adu, size_t length, uint64_t now_ms);

  struct PendingReply {
    uint64_t due_ms;
    std::vector<uint8_t> bytes;
  };
  ModuleModel& model_;
  ReplyFaults& faults_;
  RequestLog log_;
  std::vector<uint8_t> input_;
  std::deque<PendingReply> pending_;
};

}  // namespace kxtsim
