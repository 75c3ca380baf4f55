// The screen image and what writes it: PutText and its diff against the
// image, clearing, repaint, the save slot, and taking and giving back the
// console.
#include "console/screen.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "console/screen_state.h"
#include "console/terminal_backend.h"
#include "console/windows.h"

namespace console {
namespace {

// Cells of unchanged text worth rewriting rather than moving the cursor over.
constexpr int kLongestRewrittenGap = 5;

int ClampRow(int row) { return std::clamp(row, 1, kScreenRows); }
int ClampColumn(int column) { return std::clamp(column, 1, kImageColumns); }

bool IsBlank(int cell) {
  ScreenState& s = Screen();
  return s.characters[cell] == ' ' && s.codes[cell] == 0;
}

void ResetImage() {
  ScreenState& s = Screen();
  std::memset(s.characters, ' ', sizeof s.characters);
  std::memset(s.codes, 0, sizeof s.codes);
  std::memset(s.saved_characters, ' ', sizeof s.saved_characters);
  std::memset(s.saved_codes, 0, sizeof s.saved_codes);
}

}  // namespace

ScreenState& Screen() {
  static ScreenState state;
  return state;
}

unsigned char ConsoleAttribute(int code) {
  code &= kAttributeMask;
  if (code & 1) {
    switch (code) {
      case 5:
        return 0x7C;
      case 7:
        return 0x6C;
      case 3:
        return 0x7E;
      default:
        return 0x71;
    }
  }
  unsigned char attribute = (code & 4) ? 0x1C : 0x17;
  if (code & 2) attribute = static_cast<unsigned char>((attribute & ~1) | 0x08);
  return attribute;
}

void MoveCursor(int row, int column) {
  ScreenState& s = Screen();
  s.cursor_row = row;
  s.cursor_column = column;
}

void SetAttributeCode(int code) { Screen().current_attribute = ConsoleAttribute(code); }

void ResetAttribute() { Screen().current_attribute = kNormalConsoleAttribute; }

void WriteRun(const unsigned char* characters, int count) {
  ScreenState& s = Screen();
  if (count <= 0) return;
  if (s.backend != nullptr) {
    s.backend->WriteCells(s.cursor_row, s.cursor_column, characters, count, s.current_attribute);
  }
  s.cursor_column += count;
  if (s.cursor_column >= kConsoleColumns) {
    s.cursor_column = 0;
    s.cursor_row = std::min(s.cursor_row + 1, kScreenRows - 1);
  }
}

void RepaintIfNeeded() {
  ScreenState& s = Screen();
  if (s.backend == nullptr) return;
  if (s.backend->TakeRepaintNotice()) s.repaint_needed = true;
  if (s.repaint_needed) RepaintScreen();
}

bool InitScreen() {
  ScreenState& s = Screen();
  if (s.open) return true;
  s.owned_backend = std::make_unique<TerminalBackend>();
  if (!InitScreenOn(*s.owned_backend)) {
    s.owned_backend.reset();
    return false;
  }
  return true;
}

bool InitScreenOn(ConsoleBackend& backend) {
  ScreenState& s = Screen();
  if (s.open) CloseScreen();
  s.message.clear();
  if (!backend.Open(s.message)) return false;
  s.backend = &backend;
  s.open = true;
  s.cursor_row = 0;
  s.cursor_column = 0;
  s.current_attribute = kNormalConsoleAttribute;
  s.cursor_visible = false;
  s.repaint_needed = false;
  ResetImage();
  s.window_head = s.window_tail = nullptr;
  s.hot_keys.clear();
  s.type_ahead_count = s.type_ahead_read = s.type_ahead_write = 0;
  s.decoder.Reset();
  s.decoder.SetRawControls(false);
  s.insert_mode = 1;
  s.job_control_keys = true;
  s.interrupt_handler = nullptr;
  return true;
}

void CloseScreen() {
  ScreenState& s = Screen();
  if (!s.open) return;
  s.backend->Close();
  FreeAllWindows();
  // Nodes whose handler is still running are left to it (this close runs
  // inside that handler); they go with the list the next time round.
  s.hot_keys.remove_if([](const HotKeyNode& node) { return !node.busy; });
  s.open = false;
  s.backend = nullptr;
  s.owned_backend.reset();
}

const char* ScreenMessage() { return Screen().message.c_str(); }

bool ScreenIsOpen() { return Screen().open; }

void PutText(const char* text, int row, int column, int width, char fill, int flags) {
  ScreenState& s = Screen();
  RepaintIfNeeded();
  if (text == nullptr) text = "";
  row = ClampRow(row) - 1;
  column = ClampColumn(column) - 1;

  unsigned char work[kImageColumns];
  int length = static_cast<int>(strnlen(text, kImageColumns));
  std::memcpy(work, text, length);
  if (flags & kBeepFirst) Beep();
  if (flags & kCapitals) {
    for (int i = 0; i < length; ++i) {
      if (work[i] >= 'a' && work[i] <= 'z') work[i] = static_cast<unsigned char>(work[i] - 32);
    }
  }

  // Lay the text out in the width: cut, or padded around it.
  int total_length = static_cast<int>(strnlen(text, kImageColumns + 1));
  if (width <= 0) width = total_length;
  width = std::min(width, kImageColumns);
  unsigned char cells[kImageColumns];
  if (length >= width) {
    std::memcpy(cells, work, width);
  } else {
    int offset = 0;
    if (flags & kCentre) {
      offset = (width - length) / 2;
    } else if (flags & kRightAlign) {
      offset = width - length;
    }
    std::memset(cells, static_cast<unsigned char>(fill), width);
    std::memcpy(cells + offset, work, length);
  }
  width = std::min(width, kImageColumns - column);

  int code = flags & kAttributeMask;
  int base = row * kImageColumns + column;
  auto differs = [&](int i) {
    return s.characters[base + i] != cells[i] || s.codes[base + i] != code;
  };
  bool wrote = false;
  int i = 0;
  while (i < width) {
    while (i < width && !differs(i)) ++i;  // leading equal cells cost nothing
    if (i == width) break;
    int run_start = i;
    int run_end = i;
    // Extend over differing cells, and over gaps of equal cells short enough
    // that rewriting them is cheaper than moving the cursor past them.
    while (true) {
      while (run_end < width && differs(run_end)) {
        s.characters[base + run_end] = cells[run_end];
        s.codes[base + run_end] = static_cast<unsigned char>(code);
        ++run_end;
      }
      int gap_end = run_end;
      while (gap_end < width && !differs(gap_end)) ++gap_end;
      if (gap_end == width || gap_end - run_end > kLongestRewrittenGap) break;
      run_end = gap_end;
    }
    if (!wrote) SetAttributeCode(code);
    wrote = true;
    MoveCursor(row, column + run_start);
    WriteRun(cells + run_start, run_end - run_start);
    i = run_end;
  }
  if (wrote) ResetAttribute();
}

void PrintAt(const char* format, int row, int column, int width, char fill, int flags, ...) {
  char text[kPrintAtLimit + 1];
  va_list arguments;
  va_start(arguments, flags);
  std::vsnprintf(text, sizeof text, format == nullptr ? "" : format, arguments);
  va_end(arguments);
  PutText(text, row, column, width, fill, flags);
}

void ClearToEol(int row, int column) {
  ScreenState& s = Screen();
  RepaintIfNeeded();
  row = ClampRow(row) - 1;
  column = ClampColumn(column) - 1;
  MoveCursor(row, column);
  if (s.backend != nullptr && column < kConsoleColumns) {
    s.backend->FillCells(row, column, ' ', kConsoleColumns - column, kNormalConsoleAttribute);
  }
  int base = row * kImageColumns;
  std::memset(s.characters + base + column, ' ', kImageColumns - column);
  std::memset(s.codes + base + column, 0, kImageColumns - column);
}

void ClearToEos(int row, int column) {
  ScreenState& s = Screen();
  RepaintIfNeeded();
  row = ClampRow(row) - 1;
  column = ClampColumn(column) - 1;
  MoveCursor(row, column);
  if (s.backend != nullptr) {
    // Columns past the console's width start on its next row.
    int console_cell =
        column < kConsoleColumns ? row * kConsoleColumns + column : (row + 1) * kConsoleColumns;
    if (console_cell < kConsoleCells) {
      s.backend->FillCells(console_cell / kConsoleColumns, console_cell % kConsoleColumns, ' ',
                           kConsoleCells - console_cell, kNormalConsoleAttribute);
    }
  }
  int cell = row * kImageColumns + column;
  std::memset(s.characters + cell, ' ', kImageCells - cell);
  std::memset(s.codes + cell, 0, kImageCells - cell);
}

void RequestRepaint() { Screen().repaint_needed = true; }

bool RepaintPending() { return Screen().repaint_needed; }

void ReleaseTerminal() {
  ScreenState& s = Screen();
  if (s.backend == nullptr) return;
  s.backend->Release();
}

void RetakeTerminal() {
  ScreenState& s = Screen();
  if (s.backend == nullptr) return;
  s.backend->Retake();
  s.repaint_needed = true;
}

void RepaintScreen() {
  ScreenState& s = Screen();
  s.repaint_needed = false;
  if (s.backend == nullptr) return;
  MoveCursor(0, 0);
  s.backend->FillCells(0, 0, ' ', kConsoleCells, kNormalConsoleAttribute);
  // Columns past 80 are never shown, so the walk stops at the console's edge.
  for (int row = 0; row < kScreenRows; ++row) {
    int column = 0;
    while (column < kConsoleColumns) {
      int cell = row * kImageColumns + column;
      if (IsBlank(cell)) {
        ++column;
        continue;
      }
      int code = s.codes[cell];
      int end = column + 1;
      while (end < kConsoleColumns && !IsBlank(row * kImageColumns + end) &&
             s.codes[row * kImageColumns + end] == code) {
        ++end;
      }
      MoveCursor(row, column);
      SetAttributeCode(code);
      WriteRun(s.characters + cell, end - column);
      ResetAttribute();
      column = end;
    }
  }
}

void SaveScreen() {
  ScreenState& s = Screen();
  std::memcpy(s.saved_characters, s.characters, sizeof s.characters);
  std::memcpy(s.saved_codes, s.codes, sizeof s.codes);
}

void RestoreScreen() {
  ScreenState& s = Screen();
  if (s.backend != nullptr && s.backend->TakeRepaintNotice()) s.repaint_needed = true;
  if (s.repaint_needed) {
    std::memcpy(s.characters, s.saved_characters, sizeof s.characters);
    std::memcpy(s.codes, s.saved_codes, sizeof s.codes);
    RepaintScreen();
    return;
  }
  auto equal = [&](int cell) {
    return s.characters[cell] == s.saved_characters[cell] && s.codes[cell] == s.saved_codes[cell];
  };
  for (int row = 0; row < kScreenRows; ++row) {
    int column = 0;
    while (column < kImageColumns) {
      int cell = row * kImageColumns + column;
      if (equal(cell)) {
        ++column;
        continue;
      }
      // A stretch of differing cells, written in runs of one code each.
      MoveCursor(row, column);
      while (column < kImageColumns && !equal(row * kImageColumns + column)) {
        int start = column;
        int code = s.saved_codes[row * kImageColumns + start];
        while (column < kImageColumns && !equal(row * kImageColumns + column) &&
               s.saved_codes[row * kImageColumns + column] == code) {
          int here = row * kImageColumns + column;
          s.characters[here] = s.saved_characters[here];
          s.codes[here] = s.saved_codes[here];
          ++column;
        }
        MoveCursor(row, start);
        SetAttributeCode(code);
        WriteRun(s.characters + row * kImageColumns + start, column - start);
      }
      ResetAttribute();
    }
  }
}

void Beep() {
  ScreenState& s = Screen();
  if (s.backend != nullptr) s.backend->Bell();
}

void SetCursor(int row, int column) {
  ScreenState& s = Screen();
  row = std::clamp(row, 0, kScreenRows - 1);
  column = std::clamp(column, 0, kImageColumns - 1);
  MoveCursor(row, column);
  if (s.backend != nullptr) s.backend->PlaceCursor(row, column);
}

int CursorRow() { return Screen().cursor_row; }
int CursorColumn() { return Screen().cursor_column; }

void ShowCursor() {
  ScreenState& s = Screen();
  s.cursor_visible = true;
  if (s.backend != nullptr) {
    s.backend->PlaceCursor(s.cursor_row, s.cursor_column);
    s.backend->SetCursorVisible(true);
  }
}

void HideCursor() {
  ScreenState& s = Screen();
  s.cursor_visible = false;
  if (s.backend != nullptr) s.backend->SetCursorVisible(false);
}

void ClearConsoleFromCursor() {
  ScreenState& s = Screen();
  if (s.backend == nullptr) return;
  int column = std::min(s.cursor_column, kConsoleColumns - 1);
  s.backend->FillCells(s.cursor_row, column, ' ', kConsoleCells, kNormalConsoleAttribute);
}

void WritePlain(const char* bytes, int count) {
  ScreenState& s = Screen();
  if (s.backend == nullptr || bytes == nullptr || count <= 0) return;
  s.backend->WritePlain(reinterpret_cast<const unsigned char*>(bytes), count, s.cursor_row,
                        s.cursor_column);
  s.backend->PlaceCursor(s.cursor_row, s.cursor_column);
}

void SetPassThroughKeys(bool enabled) { Screen().decoder.SetRawControls(enabled); }

unsigned char ImageCharacter(int row, int column) {
  return Screen().characters[(ClampRow(row) - 1) * kImageColumns + ClampColumn(column) - 1];
}

int ImageCode(int row, int column) {
  return Screen().codes[(ClampRow(row) - 1) * kImageColumns + ClampColumn(column) - 1];
}

std::string ImageRowText(int row) {
  const unsigned char* start = Screen().characters + (ClampRow(row) - 1) * kImageColumns;
  return std::string(reinterpret_cast<const char*>(start), kConsoleColumns);
}

}  // namespace console
