// Loading and saving the setup record, and the link the setup owns.
#pragma once

#include "kxtdev/session.h"

namespace kxtdev {

// Reads the named setup file (or a default record) and opens its link.
linklib::LinkHandle* LoadSetup(Session& session, const char* name);
// "Load from file": another setup file chosen with the file selector.
linklib::LinkHandle* LoadSetupFile(Session& session);
// Offers to write the live record to the remembered setup file.
void SaveSetup(Session& session);
// Closes the current link, if any.
void DropLink(Session& session);

}  // namespace kxtdev
