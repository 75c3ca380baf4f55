// The toolkit's one screen record, shared by the files of the console
// toolkit (screen, keyboard, windows). Not for programs: they use screen.h.
#pragma once

#include <functional>
#include <list>
#include <memory>
#include <string>

#include "console/console_backend.h"
#include "console/key_decoder.h"
#include "console/screen.h"

namespace console {

struct Window;

struct HotKeyNode {
  int key = 0;
  HotKeyHandler handler;
  bool busy = false;     // its handler is running
  bool removed = false;  // removed while busy: freed when the handler returns
};

constexpr int kTypeAheadSize = 100;

struct ScreenState {
  ConsoleBackend* backend = nullptr;
  std::unique_ptr<ConsoleBackend> owned_backend;  // the terminal, when InitScreen made it
  bool open = false;
  std::string message;

  unsigned char characters[kImageCells];
  unsigned char codes[kImageCells];
  unsigned char saved_characters[kImageCells];
  unsigned char saved_codes[kImageCells];
  bool repaint_needed = false;

  int cursor_row = 0;  // toolkit cursor, 0-based
  int cursor_column = 0;
  unsigned char current_attribute = kNormalConsoleAttribute;
  bool cursor_visible = false;
  int insert_mode = 1;

  unsigned char type_ahead[kTypeAheadSize] = {};
  int type_ahead_count = 0;
  int type_ahead_read = 0;
  int type_ahead_write = 0;

  std::list<HotKeyNode> hot_keys;  // in the order they were added
  KeyDecoder decoder;
  bool job_control_keys = true;
  std::function<void()> interrupt_handler;

  Window* window_head = nullptr;
  Window* window_tail = nullptr;
};

ScreenState& Screen();

// Console attribute of an attribute code.
unsigned char ConsoleAttribute(int code);
// Console primitives under every output: the toolkit cursor, the current
// attribute, and writing a run of cells at the cursor.
void MoveCursor(int row, int column);
void SetAttributeCode(int code);
void ResetAttribute();
void WriteRun(const unsigned char* characters, int count);
// Repaints first when a repaint is pending (before any output).
void RepaintIfNeeded();

}  // namespace console
