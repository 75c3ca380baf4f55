// What the Modbus RTU and ASCII slaves share: the slave address, serving a
// request's data unit with the reply faults applied, and the log line.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "kxtsim/module_model.h"
#include "kxtsim/reply_faults.h"
#include "kxtsim/request_log.h"

namespace kxtsim {

class ModbusRequestServer {
 public:
  ModbusRequestServer(ModuleModel& model, ReplyFaults& faults, uint8_t unit, RequestLog log,
                      const char* transport)
      : model_(model), faults_(faults), unit_(unit), log_(std::move(log)), transport_(transport) {}

  // `frame` is address and data unit, its check already removed and found
  // good. Returns the reply's address and data unit, or nothing when no reply
  // goes out (another slave's address, a broadcast, a dropped reply).
  std::optional<std::vector<uint8_t>> Serve(const std::vector<uint8_t>& frame);

  ReplyFaults& faults() { return faults_; }

 private:
  ModuleModel& model_;
  ReplyFaults& faults_;
  uint8_t unit_;
  RequestLog log_;
  const char* transport_;
};

}  // namespace kxtsim
