// The serial terminal emulator of the Utilities menu.
#pragma once

#include "kxtdev/session.h"

namespace kxtdev {

linklib::LinkHandle* TerminalEmulator(Session& session, int mode);

}  // namespace kxtdev
