#include "kxtdev/baud_prediction.h"

namespace kxtdev {
namespace {

constexpr uint32_t kHighestRecommended = 19200;

struct ModuleClock {
  uint32_t clock;
  uint32_t divisor_mask;
};

// Any index past the list counts as the first model.
ModuleClock ClockOf(uint16_t module) {
  if (module == kBaudModuleKxt1) return {28800, 0xFF};
  return {115200, 0xFFFF};
}

}  // namespace

BaudPrediction PredictBaudRate(uint16_t module, uint32_t requested) {
  BaudPrediction prediction;
  if (requested == 0) {
    prediction.error = true;
    return prediction;
  }
  ModuleClock model = ClockOf(module);
  uint32_t divisor = (model.clock / requested) & model.divisor_mask;
  prediction.actual = divisor == 0 ? 0 : model.clock / divisor;
  prediction.not_recommended = prediction.actual > kHighestRecommended;
  return prediction;
}

}  // namespace kxtdev
