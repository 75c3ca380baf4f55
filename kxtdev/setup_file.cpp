#include "kxtdev/setup_file.h"

#include <cstdio>
#include <cstring>

#include "console/file_selector.h"
#include "console/screen.h"
#include "console/serial_ports.h"
#include "console/windows.h"
#include "kxtdev/configuration_screens.h"
#include "kxtdev/link_session.h"
#include "kxtdev/register_viewer.h"

namespace kxtdev {
namespace {

using namespace console;

// Room for a selected name (8 characters) and ".STP".
constexpr int kLoadedNameSize = kSelectedNameLimit + 5;

// F1 prints the screen wherever a key is read. Bound once: an earlier
// binding is replaced, so reloading the setup does not pile up handlers.
void BindPrintScreen(Session& session) {
  RemoveHotKey(kKeyF1);
  AddHotKey(kKeyF1, [&session](int, std::int32_t) {
    PrintScreen(session);
    return 0;
  });
}

// The terminal emulator holds its port only while it runs; a reload forgets
// any reference it left.
void ForgetTerminalPort(Session& session) { session.terminal_port = nullptr; }

// Fills the live record from an open setup file, or from the default that
// default_name chooses when the file is short, and opens the link.
void ReadSetupFrom(Session& session, std::FILE* file, const char* default_name) {
  unsigned char image[sizeof(SetupRecord)];
  if (std::fread(image, 1, sizeof image, file) == sizeof image) {
    // Whatever the file holds becomes the record; every reader of a field
    // keeps its value within its table or text.
    std::memcpy(&session.setup, image, sizeof image);
    ConnectLink(session);
  } else {
    session.setup = DefaultSetupFor(default_name);
    ReportError(session, "Can't read setup file. Use SETUP to change it");
    ConfigureComputer(session);
  }
}

// Steps common to both loads: read the file (or fall back to a default and
// the communications setup) and leave the link in session.link.
void LoadFrom(Session& session, const char* file_name, const char* default_name) {
  std::FILE* file = std::fopen(file_name, "rb");
  if (file != nullptr) {
    ReadSetupFrom(session, file, default_name);
    std::fclose(file);
  } else {
    session.setup = DefaultSetupFor(default_name);
    ReportError(session, "Can't locate setup file.");
    ConfigureComputer(session);
  }
}

}  // namespace

linklib::LinkHandle* LoadSetup(Session& session, const char* name) {
  // Normally called once, before any link exists; a link left open would
  // otherwise be lost with its port.
  DropLink(session);
  ForgetTerminalPort(session);
  std::snprintf(session.setup_file_name, sizeof session.setup_file_name, "%s", name);
  ListSerialPorts();
  LoadFrom(session, name, session.setup_file_name);
  BindPrintScreen(session);
  return session.link;
}

linklib::LinkHandle* LoadSetupFile(Session& session) {
  Window* box = OpenBox(6, 38, 9, 63, "LOAD SETUP FROM FILE");
  PutText("New setup file to load", 7, 40, 0, ' ', kNormal);
  char chosen[kLoadedNameSize] = {};
  if (!SelectFile(8, 40, "*.STP", chosen, 1)) {
    CloseWindow(&box);
    return session.link;
  }
  chosen[kSelectedNameLimit] = '\0';
  std::strcat(chosen, ".STP");
  DropLink(session);
  ForgetTerminalPort(session);
  // The default follows the startup file's name, and SaveSetup keeps
  // writing the startup file.
  LoadFrom(session, chosen, session.setup_file_name);
  BindPrintScreen(session);
  CloseWindow(&box);
  return session.link;
}

void SaveSetup(Session& session) {
  if (!Confirm("Write setup to startup file?")) return;
  std::FILE* file = std::fopen(session.setup_file_name, "wb");
  if (file == nullptr) {
    ReportError(session, "Can't open setup file");
    return;
  }
  bool written = std::fwrite(&session.setup, 1, sizeof session.setup, file) == sizeof session.setup;
  // A full disk may show only when the buffered bytes are flushed.
  if (std::fclose(file) != 0) written = false;
  if (!written) ReportError(session, "Can't save setup file");
}

void DropLink(Session& session) {
  if (session.link != nullptr) linklib::CloseLink(session.link);
  session.link = nullptr;
}

}  // namespace kxtdev
