// The error window and the confirmation box, both on rows 22 to 24.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "console/screen.h"
#include "console/windows.h"

namespace console {

int ShowError(const char* text) {
  if (text == nullptr) text = "";
  int length = static_cast<int>(strnlen(text, kImageColumns + 1));
  Window* window = OpenWindow(22, 75 - length, 24, 79, "ERROR", 1);
  PutText(text, 23, 77 - length, 0, ' ', kRed);
  int key = 0;
  do {
    Beep();
    key = GetKey();
  } while (key != kKeyF10 && key != kKeyCtrlEnter && ScreenIsOpen());
  CloseWindow(&window);
  return key == kKeyF10 ? 1 : 0;
}

int ShowErrorF(const char* format, ...) {
  char text[kPrintAtLimit + 1];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format == nullptr ? "" : format, arguments);
  va_end(arguments);
  return ShowError(text);
}

int ShowStatusError(const char* text, std::int32_t status) {
  return ShowErrorF("%s. Status = %ld", text == nullptr ? "" : text, static_cast<long>(status));
}

int Confirm(const char* question) {
  if (question == nullptr) question = "";
  int length = static_cast<int>(strnlen(question, kImageColumns + 1));
  Window* window = OpenWindow(22, 1, 24, length + 5, "CONFIRM", 1);
  PutText(question, 23, 3, length + 2, ' ', kCentre | kNormal);
  while (true) {
    int key = GetKey();
    switch (key) {
      case kKeyEnter:
      case 'Y':
      case 'y':
      case 'S':
      case 's':
        CloseWindow(&window);
        return 1;
      case kKeyEscape:
      case 'N':
      case 'n':
        CloseWindow(&window);
        return 0;
      default:
        Beep();
    }
  }
}

}  // namespace console
