#include "kxtsim/serial_slaves.h"

#include <algorithm>

#include "kxtsim/gateway_slave.h"
#include "kxtsim/modbus_ascii_slave.h"
#include "kxtsim/modbus_rtu_slave.h"
#include "kxtsim/symax_slave.h"

namespace kxtsim {

std::unique_ptr<SerialSlave> MakeSerialSlave(const SerialOptions& options, ModuleModel& model,
                                             ReplyFaults& faults, RequestLog log) {
  switch (options.protocol) {
    case SerialProtocol::Symax:
      return std::make_unique<SymaxSlave>(model, faults, options.crc, std::move(log));
    case SerialProtocol::Gateway:
      return std::make_unique<GatewaySlave>(model, faults, std::move(log));
    case SerialProtocol::ModbusRtu:
      return std::make_unique<ModbusRtuSlave>(model, faults, options.unit, std::move(log));
    case SerialProtocol::ModbusAscii:
      return std::make_unique<ModbusAsciiSlave>(model, faults, options.unit, std::move(log));
  }
  return nullptr;
}

uint64_t FrameGapMilliseconds(const SerialOptions& options, uint64_t character_us) {
  if (options.protocol != SerialProtocol::ModbusRtu) return 0;
  // Three and a half character times, and never under 2 ms, so that the
  // wait loop's millisecond wake-ups cannot split a frame.
  return std::max<uint64_t>(2, (character_us * 35 / 10 + 999) / 1000);
}

}  // namespace kxtsim
