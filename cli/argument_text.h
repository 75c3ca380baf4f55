// Small text helpers shared by the command lines of kxtload and quillet.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cli {

// A switch begins with "-" or "/". A text that begins with "/" and holds
// another "/" is a path (/dev/ttyUSB0, /home/me/prog.KXB), never a switch.
bool IsSwitch(const char* arg);

// Copies with a bound: a long text is cut, never overruns.
void CopyBounded(char* to, size_t size, const char* from);

// Appends a word to a text of `size` bytes, with one blank before it when the
// text is not empty; what does not fit is cut.
void AppendWord(char* text, size_t size, const char* word);

// Leading-digits conversions: blanks, an optional sign, then digits; no
// digits gives 0. Values beyond 32 bits saturate instead of overflowing.
int32_t LeadingDecimal(const char* text);
uint32_t LeadingHex(const char* text);

}  // namespace cli
