// The wait callback of the full-screen programs: while a link operation waits
// for its reply, a key typed is taken and put back for the screen to read
// later, its class is noted, Escape abandons the wait, and a spinner turns.
#pragma once

#include <cstdint>

namespace registerpage {

// What the callback saw since the mark was last cleared.
enum KeyClassMark : int {
  kNoKeyWaiting = 0,
  kOrdinaryKeyWaiting = 1,
  kNavigationKeyWaiting = 2,  // Right, Left, Up, Down, Page Up, Page Down or Escape
};

struct KeyWatchStyle {
  const char* spinner = "|\\-/";  // four characters, shown in turn at row 1, column 80
  bool turn_with_key = true;      // also turn the spinner when a key was found
  // Shown when Escape abandons a wait (null: nothing).
  void (*on_escape)() = nullptr;
};

// Chosen once by the program at start.
void SetKeyWatchStyle(const KeyWatchStyle& style);

int KeyClass();
void SetKeyClass(int mark);
void ClearKeyClass();
// The class of a key code.
int ClassOfKey(int key);
// Puts a key back into the type-ahead ring and marks its class (0 does nothing).
void PutBackKey(int key);

// The callback the link library calls on every poll of a reply wait.
uint32_t WatchKeysWhileWaiting(uint32_t user);

}  // namespace registerpage
