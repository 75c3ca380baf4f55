// The baud rate a module's serial hardware really produces for a requested
// rate: its clock divided by a whole divisor that must fit the divisor's width.
#pragma once

#include <cstdint>

namespace kxtdev {

enum BaudModule : uint16_t { kBaudModuleKxt4 = 0, kBaudModuleKxt1 = 1 };

struct BaudPrediction {
  bool error = false;            // no rate asked for (0)
  uint32_t actual = 0;           // the rate produced; 0 when the divisor is 0
  bool not_recommended = false;  // above 19200
};

BaudPrediction PredictBaudRate(uint16_t module, uint32_t requested);

}  // namespace kxtdev
