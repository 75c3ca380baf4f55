#include "register_page/number_forms.h"

#include <cstdio>
#include <cstdlib>

#include "console/line_editor.h"
#include "console/screen.h"

namespace registerpage {

using namespace console;

void DrawRegisterNumber(int32_t reg, bool hex, int row, int attribute) {
  if (hex)
    PrintAt(" %04X ", row, kCellColumn[kRegisterCell], kCellWidth[kRegisterCell], ' ', attribute,
            reg);
  else
    PrintAt("%6d", row, kCellColumn[kRegisterCell], kCellWidth[kRegisterCell], ' ', attribute, reg);
}

void BinaryText(uint16_t value, char (&text)[kBinaryTextLength + 1]) {
  int n = 0;
  for (int bit = 15; bit >= 0; --bit) {
    text[n++] = (value >> bit) & 1 ? '1' : '0';
    if (bit % 4 == 0) text[n++] = ' ';
  }
  text[n] = '\0';
}

void DrawValueCell(Cell cell, uint16_t value, int row, int attribute) {
  int column = kCellColumn[cell];
  int width = kCellWidth[cell];
  switch (cell) {
    case kHexCell:
      PrintAt("%04X", row, column, width, ' ', attribute, value);
      break;
    case kUnsignedCell:
      // The second number is cut by the width: "%6u" and two blanks remain.
      PrintAt("%6u  %6d", row, column, width, ' ', attribute, value, static_cast<int16_t>(value));
      break;
    case kSignedCell:
      PrintAt("%6d", row, column, width, ' ', attribute,
              static_cast<int>(static_cast<int16_t>(value)));
      break;
    case kBinaryCell: {
      char text[kBinaryTextLength + 1];
      BinaryText(value, text);
      PutText(text, row, column, width, ' ', attribute);
      break;
    }
    default:
      break;
  }
}

CellEdit ValueEdit(Cell cell, uint16_t value) {
  CellEdit edit{};
  edit.column = kCellColumn[cell];
  edit.width = 6;
  edit.flags = kBright | kEditStartFromText | kEditReplaceOnFirstKey | kEditCapitals;
  switch (cell) {
    case kHexCell:
      std::snprintf(edit.text, sizeof edit.text, "%04X", value);
      edit.allowed = "0-9A-F";
      break;
    case kUnsignedCell:
      std::snprintf(edit.text, sizeof edit.text, "%u", value);
      edit.allowed = "0-9";
      break;
    case kBinaryCell: {
      char text[kBinaryTextLength + 1];
      BinaryText(value, text);
      text[kBinaryTextLength - 1] = '\0';  // without the trailing blank
      std::snprintf(edit.text, sizeof edit.text, "%s", text);
      edit.allowed = " 01";
      edit.width = kBinaryTextLength - 1;
      edit.flags = kBright | kEditStartFromText | kEditOvertype;
      break;
    }
    default:
      std::snprintf(edit.text, sizeof edit.text, "%d", value);  // 65535, not -1, for 0xFFFF
      edit.allowed = "-0-9";
      break;
  }
  return edit;
}

CellEdit RegisterNumberEdit(int32_t reg, bool hex) {
  CellEdit edit{};
  edit.column = kCellColumn[kRegisterCell];
  edit.width = 6;
  edit.flags = kBright | kEditStartFromText | kEditReplaceOnFirstKey;
  if (hex) {
    std::snprintf(edit.text, sizeof edit.text, "%04X", reg & 0xFFFF);
    edit.allowed = "0-9A-F";
    edit.flags |= kEditCapitals;
  } else {
    std::snprintf(edit.text, sizeof edit.text, "%d", reg);
    edit.allowed = "0-9";
  }
  return edit;
}

int RunCellEdit(CellEdit& edit, int row, const char* exit_keys) {
  return EditLine(edit.text, row, edit.column, edit.width, ' ', edit.allowed, exit_keys,
                  edit.flags);
}

uint16_t ParseValue(Cell cell, const char* text) {
  switch (cell) {
    case kHexCell:
      return static_cast<uint16_t>(std::strtoul(text, nullptr, 16));
    case kUnsignedCell:
      return static_cast<uint16_t>(std::strtoull(text, nullptr, 10));
    case kBinaryCell: {
      uint16_t value = 0;
      for (const char* c = text; *c != '\0'; ++c)
        if (*c == '0' || *c == '1') value = static_cast<uint16_t>(value << 1 | (*c - '0'));
      return value;
    }
    default:
      return static_cast<uint16_t>(std::strtoll(text, nullptr, 10));
  }
}

int64_t ParseRegisterNumber(const char* text, bool hex) {
  return hex ? static_cast<int64_t>(std::strtoul(text, nullptr, 16) & 0xFFFF)
             : static_cast<int64_t>(std::strtoll(text, nullptr, 10));
}

}  // namespace registerpage
