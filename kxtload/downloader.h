// kxtload from start to end: banner, command line and prompts, the link,
// the download, and the exit status.
#pragma once

#include <cstdio>

namespace kxtload {

// Returns the process's exit status: 0 after the usage text or a completed
// download, 1 after every failure (its message printed on `out`).
int RunDownloader(int argc, const char* const* argv, FILE* in, FILE* out);

}  // namespace kxtload
