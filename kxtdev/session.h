// kxtdev's session: the state its commands share, passed to every command,
// and the start, main menu and Quit that own it.
#pragma once

#include <cstdint>

#include "console/console_backend.h"
#include "kxtdev/setup_record.h"
#include "link/com_port.h"
#include "link/link.h"

namespace kxtdev {

constexpr const char* kWorkSourceFile = "KXT$WORK.KXT";
constexpr const char* kWorkListingFile = "KXT$WORK.ERR";
constexpr const char* kStartupSetupFile = "KXTSW.STP";
constexpr int kWorkNameLimit = 8;     // characters of a source file's base name
constexpr int kModuleNameLimit = 28;  // 20 name characters, " Port n", terminator
constexpr int kSetupFileNameLimit = 256;

struct Session {
  // Settings and the one current link (owned by the setup module).
  SetupRecord setup{};
  char setup_file_name[kSetupFileNameLimit] = {};
  linklib::LinkHandle* link = nullptr;
  char module_name[kModuleNameLimit] = {};

  // The work file.
  char work_name[kWorkNameLimit + 1] = {};  // empty: no source file read yet
  bool edited = false;
  bool compiled = false;
  int unresolved_errors = 0;

  // The download screen's fields, kept between downloads.
  uint32_t download_channel = 1;
  uint32_t last_download_channel = 1;
  uint32_t download_status_register = 2;
  uint16_t download_auto_start = 0;

  // The baud-rate predictor's fields, kept for the next value.
  uint16_t baud_module = 0;  // 0 "KXT4", 1 "KXT1"
  uint32_t baud_requested = 0;

  // The terminal emulator's open port; cleared when the setup is reloaded.
  linklib::ComPort* terminal_port = nullptr;
};

// Runs kxtdev: title screen, setup, recovery, command-line keystrokes, the
// main menu until Quit. Returns the exit status. The screen is the terminal,
// or the given backend (the in-memory console of tests).
int RunSession(Session& session, int argc, char** argv, console::ConsoleBackend* backend = nullptr);

// The keys one command-line argument stands for: "/D", "/E" and "/R" (either
// case) are DEL, ESC and ENTER; any other "/" stays as it is. An argument
// longer than kKeystrokeArgumentLimit characters is cut.
constexpr int kKeystrokeArgumentLimit = 131;
void KeystrokesOf(const char* argument, char (&keys)[kKeystrokeArgumentLimit + 1]);

}  // namespace kxtdev
