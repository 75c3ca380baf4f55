// Windows over the screen image, and the error and confirmation boxes.
//
// Opening a window saves the image cells it covers and draws a double-line
// frame with a centred title (or a blank rectangle); closing it puts the saved
// cells back, writing only the cells that differ. Windows close in the reverse
// order of opening.
#pragma once

#include <cstdint>

namespace console {

struct Window {
  Window* next = nullptr;      // opened later
  Window* previous = nullptr;  // opened earlier
  int bottom = 0;              // 0-based, inclusive
  int left = 0;
  int top = 0;
  int right = 0;
  unsigned char* saved_characters = nullptr;  // width x height, row by row
  unsigned char* saved_codes = nullptr;
};

// Frame bytes (code page 437).
constexpr unsigned char kFrameTopLeft = 0xC9;
constexpr unsigned char kFrameTopRight = 0xBB;
constexpr unsigned char kFrameSide = 0xBA;
constexpr unsigned char kFrameBottomLeft = 0xC8;
constexpr unsigned char kFrameBottomRight = 0xBC;
constexpr unsigned char kFrameLine = 0xCD;

// Corners 1-based and inclusive. Returns null (and draws nothing) when memory
// runs out.
Window* OpenWindow(int top, int left, int bottom, int right, const char* title, int framed);
Window* OpenBox(int top, int left, int bottom, int right, const char* title);
Window* OpenPanel(int top, int left, int bottom, int right);
// Puts the covered cells back, frees the window and sets *window to null.
// Null (or a pointer to null) does nothing.
void CloseWindow(Window** window);
// Frees every open window without drawing (CloseScreen).
void FreeAllWindows();

// One message on rows 22 to 24 until F10 (returns 1) or Ctrl-Enter (0).
int ShowError(const char* text);
int ShowErrorF(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "<text>. Status = <status>".
int ShowStatusError(const char* text, std::int32_t status);
// Yes (Enter, Y, y, S, s) returns 1; no (Escape, N, n) returns 0.
int Confirm(const char* question);

}  // namespace console
