// Chooses the serial slave for the protocol kxtsim was started with.
#pragma once

#include <memory>

#include "kxtsim/options.h"
#include "kxtsim/request_log.h"
#include "kxtsim/serial_slave.h"

namespace kxtsim {

std::unique_ptr<SerialSlave> MakeSerialSlave(const SerialOptions& options, ModuleModel& model,
                                             ReplyFaults& faults, RequestLog log);

// The line silence that ends a frame for the protocol (0: none is needed).
uint64_t FrameGapMilliseconds(const SerialOptions& options, uint64_t character_us);

}  // namespace kxtsim
