// Serves one Modbus protocol data unit (function code and data, no address
// and no check) against the module, for the TCP, RTU and ASCII transports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kxtsim/module_model.h"

namespace kxtsim {

inline constexpr uint8_t kExceptionIllegalFunction = 1;
inline constexpr uint8_t kExceptionIllegalDataAddress = 2;
inline constexpr uint8_t kExceptionIllegalDataValue = 3;

// The largest register count one request may carry. It is above the usual
// Modbus limit of 125: the module serves what the link library may ask for,
// and the count byte of a reply then holds the low byte of 2 x count.
inline constexpr uint32_t kMaxModbusRegisters = 128;

// Answers `request`; the reply data unit is returned. `description`, when
// given, receives one line that tells what was asked (for -v).
std::vector<uint8_t> ServeModbusPdu(ModuleModel& model, const uint8_t* request, size_t length,
                                    std::string* description = nullptr);

// The exception reply to a request with function code `function`.
std::vector<uint8_t> ModbusException(uint8_t function, uint8_t code);

}  // namespace kxtsim
