#include "kxtdev/configuration_screens.h"

namespace kxtdev {

linklib::LinkHandle* ConfigureComputer(Session& session) { return session.link; }
void ConfigureTerminal(Session&) {}
void ConfigureViewer(Session&) {}
void ConfigureEditor(Session&) {}

}  // namespace kxtdev
