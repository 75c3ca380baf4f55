// The file selector: a name field and, on rows 14 to 25, a page of up to 96
// entries (matching files without their extension, subdirectories) of the
// current directory. File names are case-sensitive.
#pragma once

#include <cstdint>

namespace console {

constexpr int kSelectedNameLimit = 8;  // characters; the result buffer holds 9 bytes

// Returns 1 with the chosen name (no extension) in result, 0 after Escape.
int SelectFile(int row, int column, const char* pattern, char* result, int directories);
// 1 when the whole name matches the pattern.
int MatchPattern(const char* pattern, const char* name);
// Reads a run of decimal digits; returns the position after it (value 0 when none).
const char* ReadDecimal(const char* text, uint32_t* value);

}  // namespace console
