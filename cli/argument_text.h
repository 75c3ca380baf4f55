// Small text helpers shared by the command lines of kxtload and quillet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace cli {

// A switch begins with "-" or "/". A text that begins with "/" and holds
// another "/" is a path (/dev/ttyUSB0, /home/me/prog.KXB), never a switch.
bool IsSwitch(const char* arg);

// Copies with a bound: a long text is cut, never overruns.
void CopyBounded(char* to, size_t size, const char* from);

// Names (files, devices, hosts) and routes are never cut into another name
// or route: these copy whole or not at all.
// Copies `from` whole into `to`; false, and `to` unchanged, when it does not fit.
bool CopyWhole(char* to, size_t size, const char* from);
// Appends a word to a text of `size` bytes, with one blank before it when the
// text is not empty; false, and the text unchanged, when it does not fit.
bool AppendWord(char* text, size_t size, const char* word);
// "<what> too long: at most <size-1> characters."
void PrintTooLong(FILE* out, const char* what, size_t size);

// Reads one line of `in` into `text` without its line break (CR LF or LF).
// What does not fit is read and dropped, so that it never answers a later
// prompt, and the result is false. End of input gives an empty text.
bool ReadLine(FILE* in, char* text, size_t size);

// Leading-digits conversions: blanks, an optional sign, then digits; no
// digits gives 0. Values beyond 32 bits saturate instead of overflowing.
int32_t LeadingDecimal(const char* text);
uint32_t LeadingHex(const char* text);

}  // namespace cli
