// kxtgallery: the console toolkit's pieces on one screen, for a person to
// look at and for the end-to-end tests. A menu bar with pull-downs, a form,
// an error box and a question.
#include <cstdio>

#include "console/menus.h"
#include "console/screen.h"
#include "console/windows.h"

namespace {

using namespace console;

const char* const kMenu[] = {
    "File",     "Open",  "Save", "saVe as", "Quit",   nullptr, "Edit", "Form",  "Error box",
    "Question", nullptr, "View", "Colours", "Frames", nullptr, "Help", nullptr, nullptr,
};

constexpr int kQuit = 104;

void DrawBackground() {
  PutText("KXT console toolkit gallery", 3, 1, 80, ' ', kBright | kCentre);
  PutText("F10 or Enter: choose   Escape: back   Left/Right: next menu", 25, 1, 80, ' ',
          kInverse | kCentre);
}

void ShowColours() {
  Window* window = OpenBox(6, 10, 16, 70, "Colours");
  const char* names[] = {"normal", "inverse",     "bright",     "inverse bright",
                         "red",    "inverse red", "bright red", "inverse bright red"};
  for (int code = 0; code < 8; ++code) {
    PrintAt("%d %-20s", 7 + code, 12, 0, ' ', code, code, names[code]);
  }
  PutText("Press a key", 15, 12, 56, ' ', kCentre);
  GetKey();
  CloseWindow(&window);
}

}  // namespace

int main() {
  if (!InitScreen()) {
    std::fprintf(stderr, "kxtgallery: %s\n", ScreenMessage());
    return 1;
  }
  DrawBackground();
  int selection = 100;
  while (true) {
    int code = RunMenu(kMenu, 1, selection);
    if (code != 0) selection = code;
    if (code == 0 || code == kQuit) {
      if (Confirm("Leave the gallery?")) break;
      continue;
    }
    PrintAt("Last choice: %d", 5, 1, 80, ' ', kNormal | kCentre, code);
    switch (code) {
      case 202:
        ShowError("Something went wrong in the gallery");
        break;
      case 203:
        PrintAt("Answer: %s", 6, 1, 80, ' ', kCentre,
                Confirm("Is this a question?") ? "yes" : "no");
        break;
      case 301:
        ShowColours();
        break;
      default:
        break;
    }
  }
  CloseScreen();
  return 0;
}
