// quillet's banner, switches, arguments, address prompt and route.
#pragma once

#include <cstdio>

#include "quillet/run_options.h"

namespace quillet {

// Exit: a message was printed and the program ends with status 1.
// ExitSuccess: the usage was asked for and printed; the program ends with 0.
enum class Outcome { Continue, Exit, ExitSuccess };

// The first line of the banner, and the answer to --version.
void PrintBannerLine(FILE* out);
// The banner line and the hint that says how to see the usage.
void PrintBanner(FILE* out);
// --version anywhere on the command line.
bool AsksForVersion(int argc, const char* const* argv);

// Walks the arguments (argv[1..]) into `options`; asks for the address on
// `in` when none was given; parses the route. The usage (-?, -H, --help) is
// printed the moment it is met.
Outcome ParseCommandLine(int argc, const char* const* argv, FILE* in, FILE* out,
                         RunOptions& options);

}  // namespace quillet
