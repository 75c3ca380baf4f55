// The Gateway device's command language: "A" announces the route of drops,
// "R first count" reads registers, "W first value..." writes them. Replies
// are lines ended by CR: a lone CR acknowledges A and W, the read values
// are decimal numbers separated by blanks, and a refused command is answered
// with an error line that starts with a letter.
#pragma once

#include <string>
#include <vector>

#include "kxtsim/module_model.h"
#include "kxtsim/reply_faults.h"
#include "kxtsim/reply_queue.h"
#include "kxtsim/request_log.h"
#include "kxtsim/serial_slave.h"

namespace kxtsim {

class GatewaySlave : public SerialSlave {
 public:
  GatewaySlave(ModuleModel& model, ReplyFaults& faults, RequestLog log = {});

  void Receive(uint8_t byte, uint64_t now_ms) override;
  bool NextByte(uint64_t now_ms, uint8_t& byte) override { return replies_.NextByte(now_ms, byte); }
  std::optional<uint64_t> NextOutputTime() const override { return replies_.NextTime(); }

 private:
  std::string Serve(const std::string& line, std::string& description);

  ModuleModel& model_;
  ReplyFaults& faults_;
  RequestLog log_;
  std::string line_;
  bool overflowed_ = false;
  bool route_announced_ = false;
  std::vector<unsigned> route_;
  ReplyQueue replies_;
};

}  // namespace kxtsim
