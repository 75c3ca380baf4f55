// The small utilities: the CTS monitor and the baud-rate predictor.
#pragma once

#include "kxtdev/session.h"

namespace kxtdev {

void CtsMonitor(Session& session, int ports);
void BaudRatePredictor(Session& session);

}  // namespace kxtdev
