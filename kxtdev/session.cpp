#include "kxtdev/session.h"

#include <cstdio>
#include <cstring>

#include "console/fields.h"
#include "console/line_editor.h"
#include "console/menus.h"
#include "console/screen.h"
#include "console/windows.h"
#include "kxtdev/compile.h"
#include "kxtdev/configuration_screens.h"
#include "kxtdev/download.h"
#include "kxtdev/link_session.h"
#include "kxtdev/register_viewer.h"
#include "kxtdev/setup_file.h"
#include "kxtdev/source_commands.h"
#include "kxtdev/terminal_emulator.h"
#include "kxtdev/utilities.h"
#include "register_page/key_watch.h"

namespace kxtdev {
namespace {

using namespace console;

const LabelDef kTitleScreen[] = {
    {1, 28, "KXT DEVELOPMENT AND UTILITY SOFTWARE", kBright},
    {2, 70, "24Nov98", kNormal},
    {2, 2, "Veltrane R&D Corporation", kNormal},
    {24, 1, "Use highlighted initial capital letter or arrows and ENTER to select.", kNormal},
    {24, 5, "highlighted", kBright},
    {24, 54, "ENTER", kBright},
    {25, 1, "Type F10 to clear error window.  Type ESC to exit.", kNormal},
    {25, 6, "F10", kBright},
    {25, 39, "ESC", kBright},
    {0, 0, nullptr, 0},
};

const char* const kMainMenu[] = {
    "Development",
    "Read source from disk",
    "Write source to disk",
    "eDit",
    "Compile",
    "View errors",
    "print Source",
    "print Errors",
    "downLoad compiled work file",
    "eRase file",
    nullptr,
    "Utilities",
    "View module registers",
    "Terminal emulator",
    "downLoad pre-compiled file",
    "Baud rate calculator",
    "CTS Monitor",
    nullptr,
    "Setup",
    "Sy/Max communications",
    "Terminal emulator",
    "Editor",
    "Register viewer",
    "Load from file",
    nullptr,
    "Quit",
    nullptr,
    nullptr,
};

enum MenuCode {
  kReadSource = 101,
  kWriteSource = 102,
  kEditSource = 103,
  kCompile = 104,
  kViewErrors = 105,
  kPrintSource = 106,
  kPrintErrors = 107,
  kDownloadWork = 108,
  kEraseFile = 109,
  kViewRegisters = 201,
  kTerminal = 202,
  kDownloadDisk = 203,
  kBaudCalculator = 204,
  kCtsMonitor = 205,
  kSetupCommunications = 301,
  kSetupTerminal = 302,
  kSetupEditor = 303,
  kSetupViewer = 304,
  kSetupLoad = 305,
  kQuit = 400,
};

void QueueKeystrokes(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    char keys[kKeystrokeArgumentLimit + 1];
    KeystrokesOf(argv[i], keys);
    StuffKeys(keys);
  }
}

void OfferRecovery(Session& session) {
  std::FILE* old_work = std::fopen(kWorkSourceFile, "rb");
  if (old_work == nullptr) return;
  std::fclose(old_work);
  if (Confirm("Old work file found. Recover session?")) {
    PutText("File name", 11, 22, 0, ' ', kNormal);
    const char exit_keys[] = {kKeyEnter, '\0'};
    EditLine(session.work_name, 11, 32, kWorkNameLimit, '.', "A-Z0-9", exit_keys,
             kEditCapitals | kBright);
    session.edited = true;
  } else {
    std::remove(kWorkSourceFile);
  }
}

bool EnsureLink(Session& session) {
  if (session.link == nullptr) ConfigureComputer(session);
  return session.link != nullptr;
}

void EditWithEditor(Session& session, void (*command)(Session&)) {
  if (session.setup.editor_path[0] == '\0') ConfigureEditor(session);
  if (session.setup.editor_path[0] != '\0') command(session);
}

void Dispatch(Session& session, int code) {
  switch (code) {
    case 0:
      Beep();
      break;
    case kReadSource:
      ReadSource(session);
      break;
    case kWriteSource:
      WriteSource(session);
      break;
    case kEditSource:
      EditWithEditor(session, EditSource);
      break;
    case kCompile:
      CompileWork(session);
      break;
    case kViewErrors:
      EditWithEditor(session, ViewErrors);
      break;
    case kPrintSource:
      PrintFile(session, kWorkSourceFile);
      break;
    case kPrintErrors:
      PrintFile(session, kWorkListingFile);
      break;
    case kDownloadWork:
      if (EnsureLink(session) && CheckModule(session, "KXT"))
        DownloadProgram(session, session.work_name);
      break;
    case kEraseFile:
      EraseFile(session);
      break;
    case kViewRegisters:
      EnsureLink(session);
      RegisterViewer(session);
      break;
    case kTerminal:
      EnsureLink(session);
      TerminalEmulator(session, 0);
      break;
    case kDownloadDisk:
      if (EnsureLink(session) && CheckModule(session, "KXT")) DownloadProgram(session, "");
      break;
    case kBaudCalculator:
      BaudRatePredictor(session);
      break;
    case kCtsMonitor:
      if (EnsureLink(session) && CheckModule(session, "KXT4")) CtsMonitor(session, 4);
      break;
    case kSetupCommunications:
      ConfigureComputer(session);
      break;
    case kSetupTerminal:
      ConfigureTerminal(session);
      break;
    case kSetupEditor:
      ConfigureEditor(session);
      break;
    case kSetupViewer:
      ConfigureViewer(session);
      break;
    case kSetupLoad:
      LoadSetupFile(session);
      break;
    default:
      break;  // a code without a command
  }
}

void Quit(Session& session) {
  while (session.edited) {
    if (Confirm("File edited, save it?"))
      WriteSource(session);
    else
      session.edited = false;
  }
  std::remove(kWorkSourceFile);
  std::remove(kWorkListingFile);
  CloseScreen();
  DropLink(session);
}

}  // namespace

// A "/" that stands for nothing is passed over, so the search never finds it again.
void KeystrokesOf(const char* argument, char (&keys)[kKeystrokeArgumentLimit + 1]) {
  std::snprintf(keys, sizeof keys, "%s", argument);
  for (char* slash = std::strchr(keys, '/'); slash; slash = std::strchr(slash + 1, '/')) {
    char code = 0;
    switch (slash[1]) {
      case 'D':
      case 'd':
        code = static_cast<char>(kKeyScanCode8);
        break;
      case 'E':
      case 'e':
        code = kKeyEscape;
        break;
      case 'R':
      case 'r':
        code = kKeyEnter;
        break;
      default:
        continue;
    }
    *slash = code;
    std::memmove(slash + 1, slash + 2, std::strlen(slash + 2) + 1);
  }
}

int RunSession(Session& session, int argc, char** argv, console::ConsoleBackend* backend) {
  if (!(backend ? InitScreenOn(*backend) : InitScreen())) {
    std::printf("%s\n", ScreenMessage());
    return 1;
  }
  registerpage::SetKeyWatchStyle(registerpage::KeyWatchStyle{});
  DrawForm(kTitleScreen);
  LoadSetup(session, kStartupSetupFile);
  OfferRecovery(session);
  std::remove(kWorkListingFile);
  QueueKeystrokes(argc, argv);

  int code = kReadSource;
  do {
    ClearToEol(10, 1);
    ClearToEol(11, 1);
    code = RunMenu(kMainMenu, 4, code);
    Dispatch(session, code);
    DrawLabels(kTitleScreen);
  } while (code != kQuit);
  Quit(session);
  return 0;
}

}  // namespace kxtdev
