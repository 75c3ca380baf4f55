// Serves the data part of one Sy/Max request (read, write, random read and
// their priority forms) and builds the data part of the reply.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kxtsim/module_model.h"
#include "kxtsim/reply_faults.h"

namespace kxtsim {

// Sy/Max status codes the module answers with.
inline constexpr uint8_t kStatusIllegalOpcode = 1;
inline constexpr uint8_t kStatusIllegalAddress = 3;
inline constexpr uint8_t kStatusRegisterCountTooLarge = 16;
inline constexpr uint8_t kStatusIllegalRoute = 29;
inline constexpr uint8_t kStatusInsufficientData = 70;

// Registers on a Sy/Max link: 1..8192 are the module's, n + 8192 the status
// word of register n.
inline constexpr uint32_t kHighestSymaxAddressable = 2 * kStatusWordOffset;

std::vector<uint8_t> ServeSymaxRequest(ModuleModel& model, ReplyFaults& faults, const uint8_t* data,
                                       size_t length, std::string* description = nullptr);

}  // namespace kxtsim
