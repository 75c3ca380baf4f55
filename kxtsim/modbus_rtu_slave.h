// The Modbus RTU slave: a frame ends when the line goes quiet, or as soon as
// a request of a known function is complete with a good CRC.
#pragma once

#include <vector>

#include "kxtsim/modbus_serial_slave.h"
#include "kxtsim/reply_queue.h"
#include "kxtsim/serial_slave.h"

namespace kxtsim {

class ModbusRtuSlave : public SerialSlave {
 public:
  ModbusRtuSlave(ModuleModel& model, ReplyFaults& faults, uint8_t unit, RequestLog log = {});

  void Receive(uint8_t byte, uint64_t now_ms) override;
  void LineQuiet(uint64_t now_ms) override;
  bool NextByte(uint64_t now_ms, uint8_t& byte) override { return replies_.NextByte(now_ms, byte); }
  std::optional<uint64_t> NextOutputTime() const override { return replies_.NextTime(); }

 private:
  size_t ExpectedLength() const;  // 0: not known from the bytes so far
  bool CrcGood() const;
  void EndFrame(uint64_t now_ms);

  ModbusRequestServer server_;
  std::vector<uint8_t> frame_;
  bool overflowed_ = false;
  ReplyQueue replies_;
};

}  // namespace kxtsim
