// The live register page of kxtdev, and the F1 screen print.
#pragma once

#include "kxtdev/session.h"

namespace kxtdev {

linklib::LinkHandle* RegisterViewer(Session& session);
void PrintScreen(Session& session);

}  // namespace kxtdev
