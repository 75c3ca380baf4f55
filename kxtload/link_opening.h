// Chooses the link kind from the address and opens it: a COM port or serial
// device path (Sy/Max or Gateway), or Modbus TCP.
#pragma once

#include <cstdio>

#include "kxtload/run_options.h"
#include "link/link.h"

namespace kxtload {

// Upper-cases the address (a device path stays as typed), opens the link and
// applies the port settings. Null after a message was printed.
linklib::LinkHandle* OpenLinkFromOptions(RunOptions& options, FILE* out);

}  // namespace kxtload
