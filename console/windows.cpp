// Windows: saving the covered cells, drawing the frame, and putting the cells
// back on close.
#include "console/windows.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "console/screen.h"
#include "console/screen_state.h"

namespace console {
namespace {

void LinkAtTail(Window* window) {
  ScreenState& s = Screen();
  window->previous = s.window_tail;
  window->next = nullptr;
  if (s.window_tail != nullptr) {
    s.window_tail->next = window;
  } else {
    s.window_head = window;
  }
  s.window_tail = window;
}

void Unlink(Window* window) {
  ScreenState& s = Screen();
  if (window->previous != nullptr) {
    window->previous->next = window->next;
  } else if (s.window_head == window) {
    s.window_head = window->next;
  }
  if (window->next != nullptr) {
    window->next->previous = window->previous;
  } else if (s.window_tail == window) {
    s.window_tail = window->previous;
  }
  window->next = window->previous = nullptr;
}

void FreeWindow(Window* window) {
  delete[] window->saved_characters;
  delete[] window->saved_codes;
  delete window;
}

void DrawFrame(int top, int left, int bottom, int right) {
  const char top_left[] = {static_cast<char>(kFrameTopLeft), '\0'};
  const char top_right[] = {static_cast<char>(kFrameTopRight), '\0'};
  const char side[] = {static_cast<char>(kFrameSide), '\0'};
  const char bottom_left[] = {static_cast<char>(kFrameBottomLeft), '\0'};
  const char bottom_right[] = {static_cast<char>(kFrameBottomRight), '\0'};
  const char line = static_cast<char>(kFrameLine);
  PutText(top_left, top, left, right - left, line, kNormal);
  PutText(top_right, top, right, 0, ' ', kNormal);
  for (int row = top + 1; row < bottom; ++row) {
    PutText(side, row, left, right - left, ' ', kNormal);
    PutText(side, row, right, 0, ' ', kNormal);
  }
  PutText(bottom_left, bottom, left, right - left, line, kNormal);
  PutText(bottom_right, bottom, right, 0, ' ', kNormal);
}

}  // namespace

Window* OpenWindow(int top, int left, int bottom, int right, const char* title, int framed) {
  ScreenState& s = Screen();
  top = std::clamp(top, 1, kScreenRows);
  bottom = std::clamp(bottom, 1, kScreenRows);
  left = std::clamp(left, 1, kImageColumns);
  right = std::clamp(right, 1, kImageColumns);
  // Corners given the wrong way round still describe the same rectangle.
  if (top > bottom) std::swap(top, bottom);
  if (left > right) std::swap(left, right);
  int width = right - left + 1;
  int height = bottom - top + 1;

  Window* window = new (std::nothrow) Window;
  if (window == nullptr) return nullptr;
  window->saved_characters = new (std::nothrow) unsigned char[width * height];
  window->saved_codes = new (std::nothrow) unsigned char[width * height];
  if (window->saved_characters == nullptr || window->saved_codes == nullptr) {
    FreeWindow(window);
    return nullptr;
  }
  window->top = top - 1;
  window->left = left - 1;
  window->bottom = bottom - 1;
  window->right = right - 1;
  LinkAtTail(window);
  for (int row = 0; row < height; ++row) {
    int cell = (window->top + row) * kImageColumns + window->left;
    std::memcpy(window->saved_characters + row * width, s.characters + cell, width);
    std::memcpy(window->saved_codes + row * width, s.codes + cell, width);
  }

  if (framed) {
    DrawFrame(top, left, bottom, right);
  } else {
    for (int row = top; row <= bottom; ++row) PutText("", row, left, width, ' ', kNormal);
  }
  if (title != nullptr && title[0] != '\0') {
    int length = static_cast<int>(strnlen(title, kImageColumns + 1));
    PutText(title, top, (left + right - length + 1) / 2, 0, ' ', kInverse);
  }
  return window;
}

Window* OpenBox(int top, int left, int bottom, int right, const char* title) {
  return OpenWindow(top, left, bottom, right, title, 1);
}

Window* OpenPanel(int top, int left, int bottom, int right) {
  return OpenWindow(top, left, bottom, right, "", 0);
}

void CloseWindow(Window** pointer) {
  if (pointer == nullptr || *pointer == nullptr) return;
  ScreenState& s = Screen();
  Window* window = *pointer;
  *pointer = nullptr;
  Unlink(window);
  int width = window->right - window->left + 1;
  // With a repaint pending the console is stale anyway: the repaint shows
  // the image, so only the image is put back.
  if (s.backend != nullptr && s.backend->TakeRepaintNotice()) s.repaint_needed = true;
  bool draw = !s.repaint_needed;
  for (int row = window->top; row <= window->bottom; ++row) {
    const unsigned char* saved_characters = window->saved_characters + (row - window->top) * width;
    const unsigned char* saved_codes = window->saved_codes + (row - window->top) * width;
    unsigned char* characters = s.characters + row * kImageColumns + window->left;
    unsigned char* codes = s.codes + row * kImageColumns + window->left;
    int column = 0;
    while (column < width) {
      if (characters[column] == saved_characters[column] && codes[column] == saved_codes[column]) {
        ++column;
        continue;
      }
      // One run of differing cells in one saved code: cells that already
      // show what was saved are not written again.
      int start = column;
      int code = saved_codes[start];
      while (column < width && saved_codes[column] == code &&
             (characters[column] != saved_characters[column] || codes[column] != code)) {
        characters[column] = saved_characters[column];
        codes[column] = saved_codes[column];
        ++column;
      }
      if (draw) {
        MoveCursor(row, window->left + start);
        SetAttributeCode(code);
        WriteRun(characters + start, column - start);
        ResetAttribute();
      }
    }
  }
  FreeWindow(window);
}

void FreeAllWindows() {
  ScreenState& s = Screen();
  while (s.window_head != nullptr) {
    Window* window = s.window_head;
    Unlink(window);
    FreeWindow(window);
  }
}

}  // namespace console
