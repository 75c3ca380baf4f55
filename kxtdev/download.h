// Downloading a compiled program into a module channel: the work file's
// (a work name) or one chosen on disk (an empty name).
#pragma once

#include "kxtdev/session.h"

namespace kxtdev {

void DownloadProgram(Session& session, const char* work_name);

}  // namespace kxtdev
