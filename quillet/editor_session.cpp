#include <cstdio>

#include "console/screen.h"
#include "quillet/register_screen.h"

namespace quillet {

int RunEditorSession(RunOptions& options) {
  using namespace console;
  linklib::SetLinkOptions(options.link, options.crc, options.priority);
  if (!InitScreen()) {
    std::printf("%s\n", ScreenMessage());
    linklib::CloseLink(options.link);
    return 1;
  }
  PutText("SY/MAX Register Viewer", 1, 1, 80, ' ', kCentre);
  PutText("Veltrane R&D", 2, 1, 0, ' ', kNormal);
  PutText("18Jan99", 2, 60, 20, ' ', kRightAlign);
  UseQuilletKeyWatch();
  linklib::SetWaitCallback(options.link, ScreenWaitCallback, 0);
  ShowModuleIdentification(options);
  ResetReadOnlyNotice();
  RunRegisterScreen(options);
  CloseScreen();
  linklib::CloseLink(options.link);
  return 0;
}

}  // namespace quillet
