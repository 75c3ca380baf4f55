// kxtdev: the full-screen development and utility environment for KXT
// modules. Its arguments are keystrokes for the menus.
#include <cstdio>
#include <cstring>

#include "kxtdev/session.h"
#include "link/link.h"

namespace {

const char kBanner[] = "KXTDEV KXT development and utility software, version 24Nov98";

void PrintUsage() {
  std::printf("%s\n", kBanner);
  std::printf(
      "Usage: kxtdev [keystrokes...]\n"
      "Each argument is typed into the menus as keys; /D stands for DEL, /E for ESC,\n"
      "/R for ENTER. The setup is read from KXTSW.STP in the current directory.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    PrintUsage();
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("%s\n", kBanner);
    return 0;
  }
  linklib::SetProgramStyle(linklib::ProgramStyle::Environment);
  kxtdev::Session session;
  return kxtdev::RunSession(session, argc, argv);
}
