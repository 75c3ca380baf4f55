// The environment's link: opening it from the setup record, the wait
// callback that keeps the keyboard alive, module identification, and the
// error box every kxtdev command reports through.
#pragma once

#include "kxtdev/session.h"

namespace kxtdev {

// Opens the link the setup describes when none is open, applies the line
// settings, and keeps the result in session.link (also returned).
linklib::LinkHandle* ConnectLink(Session& session);

// Installs the environment's wait callback (spinner at row 1, column 80; the
// key class mark; Escape abandons the wait) on a link.
void InstallWaitCallback(linklib::LinkHandle* link);

// Identifies the module and checks that its name begins with expected (an
// empty text: identification only). 1 to go on, 0 to stop.
int CheckModule(Session& session, const char* expected);

// The error box (F10 returns 1, Escape 0), or with trap errors "NO" a red
// line on row 25 that never waits (returns 1).
int ReportError(const Session& session, const char* text);
int ReportErrorF(const Session& session, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

}  // namespace kxtdev
