// Printing a text file in pages: a header with the date, the work name and
// the page number, 56 lines of text, a form feed after each page.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>

namespace kxtdev {

constexpr int kTextLinesPerPage = 56;

// The local date and time as the page header shows it ("06/Dec/26 10:01").
std::string PrintDate(std::time_t when);

// Copies in to out line by line (pieces of at most 79 characters) with page
// headers and form feeds. False when out could not take everything.
bool PrintPages(std::FILE* in, std::FILE* out, const char* date, const char* work_name);

// The clock the print commands read; tests put a fixed one in place.
using PrintClock = std::time_t (*)();
void SetPrintClock(PrintClock clock);
std::time_t PrintTime();

}  // namespace kxtdev
