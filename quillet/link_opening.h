// Chooses the link kind from the address, opens the link and checks the
// start register against the highest register of that kind.
#pragma once

#include <cstdio>

#include "quillet/command_line.h"
#include "quillet/run_options.h"

namespace quillet {

// On Continue, options.link is open and options.highest_register is set.
// On Exit a message was printed (a link already open stays open, except after
// the start-register failure, which closes it).
Outcome OpenLinkFromOptions(RunOptions& options, FILE* out);

}  // namespace quillet
