// The live page's refresh loop: cycles run until a key waits, at most one per
// 10 ms so a fast device is not flooded, and a key ends the wait between two
// cycles at once.
#pragma once

#include <functional>

namespace registerpage {

constexpr int kCyclePeriodMs = 10;

// A key read here (or by the wait callback) is put back for the key handling
// and marked (register_page/key_watch.h). Asked before each row is drawn, so
// that the user is answered before the page is complete.
bool KeyPending();

// Runs cycle until the key class mark is set; the caller clears the mark.
void RefreshUntilKey(const std::function<void()>& cycle);

}  // namespace registerpage
