// The Modbus ASCII slave: ":" starts a frame, two hexadecimal digits per
// byte, the LRC last, CR LF at the end.
#pragma once

#include <vector>

#include "kxtsim/modbus_serial_slave.h"
#include "kxtsim/reply_queue.h"
#include "kxtsim/serial_slave.h"

namespace kxtsim {

class ModbusAsciiSlave : public SerialSlave {
 public:
  ModbusAsciiSlave(ModuleModel& model, ReplyFaults& faults, uint8_t unit, RequestLog log = {});

  void Receive(uint8_t byte, uint64_t now_ms) override;
  bool NextByte(uint64_t now_ms, uint8_t& byte) override { return replies_.NextByte(now_ms, byte); }
  std::optional<uint64_t> NextOutputTime() const override { return replies_.NextTime(); }

 private:
  void EndFrame(uint64_t now_ms);

  ModbusRequestServer server_;
  bool in_frame_ = false;
  std::vector<uint8_t> bytes_;
  int high_digit_ = -1;  // first digit of a pair, -1 when none is pending
  ReplyQueue replies_;
};

}  // namespace kxtsim
