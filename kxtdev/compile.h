// Compiling the work file and reviewing the listing.
#pragma once

#include "kxtdev/session.h"

namespace kxtdev {

void CompileWork(Session& session);
void ViewErrors(Session& session);

}  // namespace kxtdev
