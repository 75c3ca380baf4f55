// kxtload's banner, usage text, switches, positional arguments, the prompts
// answered on standard input, and the route text.
#pragma once

#include <cstdint>
#include <cstdio>

#include "kxtload/run_options.h"

namespace kxtload {

enum class Outcome { Continue, ExitSuccess, ExitFailure };

// The banner is also the answer to --version.
void PrintBanner(FILE* out);
void PrintUsage(FILE* out);

// Walks argv[1..] into `options`. ExitSuccess after the usage text (-?, -H,
// --help, printed the moment it is met) or when --version stands anywhere;
// ExitFailure after an unrecognised switch, or a file name, address or route
// too long to hold whole (its message printed).
Outcome ParseArguments(int argc, const char* const* argv, FILE* out, RunOptions& options);

// Asks for the channel and then the status register (whose answer replaces
// any -S value).
void AskChannelAndStatusRegister(FILE* in, FILE* out, RunOptions& options);
// Prints `prompt` and reads one whole line into `text`; false when the
// answer was too long for it (the rest of the line is read and dropped).
// End of input gives an empty text.
bool AskText(FILE* in, FILE* out, const char* prompt, char* text, size_t size);

// Drops, Net-to-Net and Gateway from the route text; at most 8 drops, and
// the rest of the text after the eighth is ignored.
void ParseRoute(RunOptions& options);

}  // namespace kxtload
