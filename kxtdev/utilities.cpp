#include "kxtdev/utilities.h"

namespace kxtdev {

void CtsMonitor(Session&, int) {}
void BaudRatePredictor(Session&) {}

}  // namespace kxtdev
