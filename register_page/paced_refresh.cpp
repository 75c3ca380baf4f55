#include "register_page/paced_refresh.h"

#include "console/screen.h"
#include "register_page/key_watch.h"

namespace registerpage {

bool KeyPending() {
  if (KeyClass() == kNoKeyWaiting) PutBackKey(console::ReadKey(0));
  return KeyClass() != kNoKeyWaiting;
}

void RefreshUntilKey(const std::function<void()>& cycle) {
  while (KeyClass() == kNoKeyWaiting) {
    cycle();
    if (KeyClass() == kNoKeyWaiting) PutBackKey(console::ReadKeyWithin(kCyclePeriodMs));
  }
}

}  // namespace registerpage
