// The Development menu's file commands on the work file.
#pragma once

#include "kxtdev/session.h"

namespace kxtdev {

void ReadSource(Session& session);
void WriteSource(Session& session);
void EditSource(Session& session);
void PrintFile(Session& session, const char* file_name);
void EraseFile(Session& session);

}  // namespace kxtdev
