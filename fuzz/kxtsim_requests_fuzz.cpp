// kxtsim's request decoders: the fuzzer's bytes (after the first) are one
// Modbus protocol data unit or the data part of one Sy/Max request, served
// against a fresh module. The first byte chooses which.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "kxtsim/modbus_pdu.h"
#include "kxtsim/module_model.h"
#include "kxtsim/reply_faults.h"
#include "kxtsim/symax_requests.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // One module for the whole run: making one per input costs more than the
  // decoding it serves.
  static kxtsim::ModuleModel model({}, [] { return uint64_t{0}; });
  kxtsim::ReplyFaults faults;
  std::string description;
  // Served twice: the second time against what the first one stored.
  for (int round = 0; round < 2; ++round) {
    std::vector<uint8_t> reply =
        (data[0] & 1) ? kxtsim::ServeSymaxRequest(model, faults, data + 1, size - 1, &description)
                      : kxtsim::ServeModbusPdu(model, data + 1, size - 1, &description);
    if (reply.size() > 4096) std::abort();  // no reply is larger than a frame holds
  }
  return 0;
}
