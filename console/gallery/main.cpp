// kxtgallery: the console toolkit's pieces on one screen, for a person to
// look at and for the end-to-end tests. A menu bar with pull-downs, a form,
// an error box and a question.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "console/field_types.h"
#include "console/fields.h"
#include "console/line_editor.h"
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

// Values of the form, kept between visits.
char g_station[21] = "Pump station 4";
std::uint16_t g_baud_rate = 1;
std::uint16_t g_register = 40001;
std::int32_t g_set_point = 1250;  // hundredths
std::uint32_t g_service_date = MakeTime(0, 0, 0, 10, 12, 95);
std::uint16_t g_channels[9] = {3, 1, 2, 4};
const char* const kBaudRates[] = {"9600", "19200", "38400", "57600", "115200", nullptr};

struct FormValues {
  char station[sizeof g_station];
  std::uint16_t baud_rate;
  std::uint16_t register_number;
  std::int32_t set_point;
  std::uint32_t service_date;
  std::uint16_t channels[9];
};

FormValues SaveFormValues() {
  FormValues values{};
  std::memcpy(values.station, g_station, sizeof g_station);
  values.baud_rate = g_baud_rate;
  values.register_number = g_register;
  values.set_point = g_set_point;
  values.service_date = g_service_date;
  std::memcpy(values.channels, g_channels, sizeof g_channels);
  return values;
}

void RestoreFormValues(const FormValues& values) {
  std::memcpy(g_station, values.station, sizeof g_station);
  g_baud_rate = values.baud_rate;
  g_register = values.register_number;
  g_set_point = values.set_point;
  g_service_date = values.service_date;
  std::memcpy(g_channels, values.channels, sizeof g_channels);
}

void EditForm() {
  const LabelDef labels[] = {
      {7, 12, "Station name", kNormal},
      {8, 12, "Baud rate", kNormal},
      {9, 12, "Register", kNormal},
      {10, 12, "Set point", kNormal},
      {11, 12, "Service date", kNormal},
      {12, 12, "Channels", kNormal},
      {14, 12, "Enter/Down: next  Up: back  F10: done  Escape: leave", kBright},
      {0, 0, nullptr, 0},
  };
  // Values shown bright; a typed value replaces the old one on its first key,
  // arrows first edit it.
  constexpr std::uint32_t kTyped = kBright | kEditReplaceOnFirstKey;
  const FieldDef fields[] = {
      {7, 30, 20, kFieldText, g_station, nullptr, kTyped},
      {8, 30, 6, kFieldChoice, &g_baud_rate, kBaudRates, kBright},
      {9, 30, 5, kFieldUnsigned16, &g_register, nullptr, kTyped},
      {10, 30, 9, kFieldSignedHundredths, &g_set_point, nullptr, kTyped},
      {11, 30, 8, kFieldDate, &g_service_date, nullptr, kTyped},
      {12, 30, 20, kFieldNumberList, g_channels, nullptr, kTyped},
  };
  constexpr int kLast = sizeof fields / sizeof fields[0] - 1;
  // Enter moves on (and on the last field ends the form); every field starts
  // from its stored value.
  const char exit_keys[] = {kKeyEnter, static_cast<char>(kKeyF10), kKeyEscape, '\0'};
  Window* window = OpenBox(5, 10, 15, 70, "Form");
  DrawLabels(labels);
  ShowFields(fields, 0, kLast, 0);
  const FormValues before = SaveFormValues();
  int key = EditFields(fields, 0, kLast, 0, exit_keys, kEditStartFromText);
  if (key == kKeyEscape) RestoreFormValues(before);  // Escape leaves the values as they were
  CloseWindow(&window);
  char set_point[16];
  FormatField(set_point, &g_set_point, kFieldSignedHundredths, 9, sizeof set_point);
  PrintAt("Form left with key %d: %s, %s baud, register %u, set point %s", 6, 1, 80, ' ', kCentre,
          key, g_station, kBaudRates[g_baud_rate % 5], g_register, set_point);
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
      case 201:
        EditForm();
        break;
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
