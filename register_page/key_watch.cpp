#include "register_page/key_watch.h"

#include "console/screen.h"

namespace registerpage {
namespace {

// The link library's callback carries no pointer, and the keyboard is one
// per process: the mark and the spinner are process-wide.
struct KeyWatchState {
  KeyWatchStyle style;
  int mark = kNoKeyWaiting;
  int spinner = 0;
};
KeyWatchState state;

void TurnSpinner() {
  state.spinner = (state.spinner + 1) % 4;
  char shown[2] = {state.style.spinner[state.spinner], '\0'};
  console::PutText(shown, 1, 80, 1, ' ', console::kNormal);
}

}  // namespace

void SetKeyWatchStyle(const KeyWatchStyle& style) { state.style = style; }

int KeyClass() { return state.mark; }
void SetKeyClass(int mark) { state.mark = mark; }
void ClearKeyClass() { state.mark = kNoKeyWaiting; }

int ClassOfKey(int key) {
  switch (key) {
    case console::kKeyRight:
    case console::kKeyLeft:
    case console::kKeyUp:
    case console::kKeyDown:
    case console::kKeyPageUp:
    case console::kKeyPageDown:
    case console::kKeyEscape:
      return kNavigationKeyWaiting;
    default:
      return kOrdinaryKeyWaiting;
  }
}

void PutBackKey(int key) {
  if (key == 0) return;
  char text[2] = {static_cast<char>(key), '\0'};
  console::StuffKeys(text);
  state.mark = ClassOfKey(key);
}

uint32_t WatchKeysWhileWaiting(uint32_t) {
  int key = console::ReadKey(0);
  if (key != 0) {
    PutBackKey(key);
    if (key == console::kKeyEscape) {
      if (state.style.on_escape) state.style.on_escape();
      return 0;
    }
    if (!state.style.turn_with_key) return 1;
  }
  TurnSpinner();
  return 1;
}

}  // namespace registerpage
