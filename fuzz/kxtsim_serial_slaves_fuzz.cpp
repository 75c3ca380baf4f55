// kxtsim's serial request decoders: the Sy/Max, Modbus RTU, Modbus ASCII and
// Gateway slaves fed the fuzzer's bytes as the line brings them, with the
// line falling quiet at every 0xFF byte and the replies taken as they come.
// The first byte chooses the slave (and the Sy/Max check).
#include <cstddef>
#include <cstdint>
#include <memory>

#include "kxtsim/gateway_slave.h"
#include "kxtsim/modbus_ascii_slave.h"
#include "kxtsim/modbus_rtu_slave.h"
#include "kxtsim/module_model.h"
#include "kxtsim/reply_faults.h"
#include "kxtsim/symax_slave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // One module for the whole run: making one per input costs more than the
  // decoding it serves. Its clock is the line time of the input being fed.
  static uint64_t now = 0;
  static kxtsim::ModuleModel model({}, [] { return now; });
  now = 0;
  kxtsim::ReplyFaults faults;
  std::unique_ptr<kxtsim::SerialSlave> slave;
  switch (data[0] % 5) {
    case 0:
      slave = std::make_unique<kxtsim::SymaxSlave>(model, faults, false);
      break;
    case 1:
      slave = std::make_unique<kxtsim::SymaxSlave>(model, faults, true);
      break;
    case 2:
      slave = std::make_unique<kxtsim::ModbusRtuSlave>(model, faults, 1);
      break;
    case 3:
      slave = std::make_unique<kxtsim::ModbusAsciiSlave>(model, faults, 1);
      break;
    default:
      slave = std::make_unique<kxtsim::GatewaySlave>(model, faults);
      break;
  }
  auto drain = [&] {
    uint8_t byte;
    for (int n = 0; n < 100000 && slave->NextByte(now, byte); ++n) {
    }
  };
  for (size_t i = 1; i < size; ++i) {
    now += 1;
    if (data[i] == 0xFF) {
      now += 100;
      slave->LineQuiet(now);
    } else {
      slave->Receive(data[i], now);
    }
    drain();
  }
  now += 10000;
  slave->LineQuiet(now);
  drain();
  return 0;
}
