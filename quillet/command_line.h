// quillet's banner, switches, arguments, address prompt and route.
#pragma once

#include <cstdio>

#include "quillet/run_options.h"

namespace quillet {

enum class Outcome { Continue, Exit };

void PrintBanner(FILE* out);

// Walks the arguments (argv[1..]) into `options`; asks for the address on
// `in` when none was given; parses the route. Exit means a message was
// printed and the program ends with status 1.
Outcome ParseCommandLine(int argc, const char* const* argv, FILE* in, FILE* out,
                         RunOptions& options);

}  // namespace quillet
