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
  RunOptions options;
  PrintBanner(stdout);
  if (ParseCommandLine(argc, argv, stdin, stdout, options) == Outcome::Exit) return 1;
  if (OpenLinkFromOptions(options, stdout) == Outcome::Exit) return 1;
  return RunEditorSession(options);
}
