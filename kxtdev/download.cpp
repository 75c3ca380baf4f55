#include "kxtdev/download.h"

namespace kxtdev {

void DownloadProgram(Session&, const char*) {}

}  // namespace kxtdev
