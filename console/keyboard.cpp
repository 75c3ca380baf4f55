// Reading keys: the raw reader over the terminal's bytes, the type-ahead
// ring, hot keys and insert mode.
#include <algorithm>
#include <csignal>
#include <new>

#include "console/screen.h"
#include "console/screen_state.h"

namespace console {
namespace {

constexpr int kNoKey = 0;
constexpr int kCtrlC = 3;
constexpr int kCtrlZ = 26;

void DefaultInterrupt() {
  // Ends as an interrupted program does, with the terminal given back first.
  CloseScreen();
  std::signal(SIGINT, SIG_DFL);
  std::raise(SIGINT);
}

// A key from the decoder after the raw reader's own handling, or kNoKey.
int TakeDecodedKey() {
  ScreenState& s = Screen();
  while (s.decoder.HasKey()) {
    int key = s.decoder.TakeKey();
    if (key == kKeyInsertToggle && !s.decoder.RawControls()) {
      s.insert_mode = !s.insert_mode;
      if (s.cursor_visible) s.backend->SetCursorVisible(true);
      continue;
    }
    if (s.job_control_keys && key == kCtrlC) {
      if (s.interrupt_handler) {
        s.interrupt_handler();
      } else {
        DefaultInterrupt();
      }
      if (!s.open) return kKeyEscape;  // the handler gave the terminal back
      continue;
    }
    if (s.job_control_keys && key == kCtrlZ) {
      s.backend->Suspend();  // comes back with a repaint notice
      continue;
    }
    return key;
  }
  return kNoKey;
}

int ReadRawKey(int wait) {
  ScreenState& s = Screen();
  if (!s.open) return wait < 0 ? kKeyEscape : kNoKey;
  unsigned char bytes[64];
  while (true) {
    RepaintIfNeeded();
    if (s.cursor_visible) s.backend->PlaceCursor(s.cursor_row, s.cursor_column);
    s.backend->Flush();
    int key = TakeDecodedKey();
    if (!s.open) return key;
    if (key != kNoKey) return key;

    std::int64_t now = s.backend->NowMilliseconds();
    s.decoder.Expire(now);
    if (s.decoder.HasKey()) continue;
    int timeout = wait < 0 ? -1 : 0;
    if (s.decoder.Waiting() && wait < 0) {
      std::int64_t left = s.decoder.Deadline() - now;
      timeout = left > 0 ? static_cast<int>(left) : 0;
    }
    int count = s.backend->ReadInput(bytes, sizeof bytes, timeout);
    now = s.backend->NowMilliseconds();
    for (int i = 0; i < count; ++i) s.decoder.Feed(bytes[i], now);
    if (count > 0) continue;
    s.decoder.Expire(now);
    if (s.decoder.HasKey()) continue;
    if (wait >= 0 && !s.backend->TakeRepaintNotice()) return kNoKey;
    if (wait >= 0) s.repaint_needed = true;
  }
}

bool TakeStuffedKey(int& key) {
  ScreenState& s = Screen();
  if (s.type_ahead_count == 0) return false;
  --s.type_ahead_count;
  s.type_ahead_read = (s.type_ahead_read + 1) % kTypeAheadSize;
  key = s.type_ahead[s.type_ahead_read];
  return true;
}

}  // namespace

int ReadQueuedKey(int wait) {
  RepaintIfNeeded();
  int key = kNoKey;
  if (TakeStuffedKey(key)) return key;
  return ReadRawKey(wait);
}

int DispatchHotKey(int key, std::int32_t position) {
  ScreenState& s = Screen();
  for (auto node = s.hot_keys.begin(); node != s.hot_keys.end(); ++node) {
    if (node->busy || node->removed || node->key != key) continue;
    node->busy = true;
    HotKeyHandler handler = node->handler;  // the node may be removed while it runs
    handler(key, position);
    node->busy = false;
    if (node->removed) s.hot_keys.erase(node);
    return 1;
  }
  return 0;
}

int ReadKey(int wait) {
  while (true) {
    int key = ReadQueuedKey(wait);
    if (key == kNoKey) return kNoKey;
    if (!DispatchHotKey(key, -1)) return key;
  }
}

int GetKey() { return ReadKey(-1); }

void StuffKeys(const char* text) {
  ScreenState& s = Screen();
  if (text == nullptr) return;
  for (; *text != '\0'; ++text) {
    if (s.type_ahead_count == kTypeAheadSize) return;  // full: the rest is dropped
    ++s.type_ahead_count;
    s.type_ahead_write = (s.type_ahead_write + 1) % kTypeAheadSize;
    s.type_ahead[s.type_ahead_write] = static_cast<unsigned char>(*text);
  }
}

void AddHotKey(int key, HotKeyHandler handler) {
  ScreenState& s = Screen();
  try {
    s.hot_keys.push_back(HotKeyNode{key, std::move(handler), false, false});
  } catch (const std::bad_alloc&) {
    // Out of memory: the hot key is not registered.
  }
}

void RemoveHotKey(int key) {
  ScreenState& s = Screen();
  for (auto node = s.hot_keys.rbegin(); node != s.hot_keys.rend(); ++node) {
    if (node->removed || node->key != key) continue;
    if (node->busy) {
      node->removed = true;  // its handler is running; freed when it returns
    } else {
      s.hot_keys.erase(std::next(node).base());
    }
    return;
  }
}

int InsertMode() { return Screen().insert_mode; }

void SetInsertMode(int on) { Screen().insert_mode = on ? 1 : 0; }

void SetJobControlKeys(bool enabled) { Screen().job_control_keys = enabled; }

void SetInterruptHandler(std::function<void()> handler) {
  Screen().interrupt_handler = std::move(handler);
}

int ReadKeyWithin(int timeout_ms) {
  ScreenState& s = Screen();
  if (!s.open) return kNoKey;
  std::int64_t deadline = s.backend->NowMilliseconds() + timeout_ms;
  unsigned char bytes[64];
  while (true) {
    int key = ReadKey(0);
    if (key != kNoKey) return key;
    std::int64_t now = s.backend->NowMilliseconds();
    std::int64_t left = deadline - now;
    if (left <= 0) return kNoKey;
    // A started escape sequence is settled by its own timer, which may come first.
    if (s.decoder.Waiting()) {
      left = std::max<std::int64_t>(1, std::min(left, s.decoder.Deadline() - now));
    }
    int count = s.backend->ReadInput(bytes, sizeof bytes, static_cast<int>(left));
    now = s.backend->NowMilliseconds();
    for (int i = 0; i < count; ++i) s.decoder.Feed(bytes[i], now);
  }
}

}  // namespace console
