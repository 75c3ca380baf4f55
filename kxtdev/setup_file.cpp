#include "kxtdev/setup_file.h"

#include <cstdio>
#include <cstring>

#include "kxtdev/link_session.h"

namespace kxtdev {

// Placeholder until the setup file lands: the standard default and its link.
linklib::LinkHandle* LoadSetup(Session& session, const char* name) {
  std::snprintf(session.setup_file_name, sizeof session.setup_file_name, "%s", name);
  session.setup = DefaultSetupFor(name);
  return ConnectLink(session);
}
linklib::LinkHandle* LoadSetupFile(Session& session) { return session.link; }
void SaveSetup(Session&) {}
void DropLink(Session& session) {
  if (session.link) linklib::CloseLink(session.link);
  session.link = nullptr;
}

}  // namespace kxtdev
