// quillet: opens the one link its command line names and shows a live,
// editable page of registers until Escape.
#include <cstdio>

#include "console/screen.h"
#include "quillet/command_line.h"
#include "quillet/link_opening.h"
#include "quillet/register_screen.h"

int main(int argc, char** argv) {
  using namespace quillet;
  linklib::SetProgramStyle(linklib::ProgramStyle::RegisterEditor);
  if (AsksForVersion(argc, argv)) {
    PrintBannerLine(stdout);
    return 0;
  }
  RunOptions options;
  PrintBanner(stdout);
  switch (ParseCommandLine(argc, argv, stdin, stdout, options)) {
    case Outcome::Exit:
      return 1;
    case Outcome::ExitSuccess:
      return 0;
    case Outcome::Continue:
      break;
  }
  if (OpenLinkFromOptions(options, stdout) == Outcome::Exit) return 1;
  return RunEditorSession(options);
}
