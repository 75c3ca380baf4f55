#include "kxtdev/print_pages.h"

namespace kxtdev {
namespace {

constexpr int kHeaderLines = 3;  // counted for the header and its blank line
constexpr int kPieceSize = 80;   // 79 characters and the terminator

std::time_t SystemTime() { return std::time(nullptr); }

PrintClock g_clock = SystemTime;

}  // namespace

std::string PrintDate(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char text[32];
  if (std::strftime(text, sizeof text, "%d/%b/%y %H:%M", &local) == 0) text[0] = '\0';
  return text;
}

bool PrintPages(std::FILE* in, std::FILE* out, const char* date, const char* work_name) {
  char piece[kPieceSize];
  int lines = 0;
  int page = 0;
  while (std::fgets(piece, sizeof piece, in) != nullptr) {
    if (lines == 0) {
      ++page;
      std::fprintf(out, "%15s               %8s                        Page %d\n\n", date,
                   work_name, page);
      lines = kHeaderLines;
    }
    std::fputs(piece, out);
    if (++lines == kHeaderLines + kTextLinesPerPage) {
      std::fputc('\f', out);
      lines = 0;
    }
  }
  if (lines > 0) std::fputc('\f', out);
  return std::fflush(out) == 0 && !std::ferror(out);
}

void SetPrintClock(PrintClock clock) { g_clock = clock != nullptr ? clock : SystemTime; }

std::time_t PrintTime() { return g_clock(); }

}  // namespace kxtdev
