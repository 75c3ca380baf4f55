#include "kxtdev/terminal_emulator.h"

namespace kxtdev {

linklib::LinkHandle* TerminalEmulator(Session& session, int) { return session.link; }

}  // namespace kxtdev
