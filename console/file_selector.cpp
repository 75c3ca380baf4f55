#include "console/file_selector.h"

namespace console {

int SelectFile(int, int, const char*, char*, int) { return 0; }
int MatchPattern(const char*, const char*) { return 0; }
const char* ReadDecimal(const char* text, uint32_t* value) {
  *value = 0;
  return text;
}

}  // namespace console
