// The four setup screens; each edits the live record and puts it back when
// left with Escape.
#pragma once

#include "kxtdev/session.h"

namespace kxtdev {

linklib::LinkHandle* ConfigureComputer(Session& session);
void ConfigureTerminal(Session& session);
void ConfigureViewer(Session& session);
void ConfigureEditor(Session& session);

}  // namespace kxtdev
