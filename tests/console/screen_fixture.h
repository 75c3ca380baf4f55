// A screen on the in-memory console, for toolkit tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "console/memory_console.h"
#include "console/screen.h"

namespace console {

class ScreenFixture : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(InitScreenOn(terminal)); }
  void TearDown() override { CloseScreen(); }

  // Columns first..last (1-based) of an image row.
  static std::string ImageText(int row, int first, int last) {
    std::string text;
    for (int column = first; column <= last; ++column) text += char(ImageCharacter(row, column));
    return text;
  }

  // Every visible cell of the terminal shows what the image holds.
  void ExpectTerminalMatchesImage() {
    for (int row = 1; row <= kScreenRows; ++row) {
      for (int column = 1; column <= kConsoleColumns; ++column) {
        const MemoryConsole::Cell& cell = terminal.CellAt(row - 1, column - 1);
        ASSERT_EQ(cell.character, ImageCharacter(row, column)) << row << "," << column;
        ASSERT_EQ(cell.attribute, ConsoleAttributeOf(ImageCode(row, column)))
            << row << "," << column;
      }
    }
  }

  static unsigned char ConsoleAttributeOf(int code) {
    static const unsigned char kTable[8] = {0x17, 0x71, 0x1E, 0x7E, 0x1C, 0x7C, 0x1C, 0x6C};
    return kTable[code & 7];
  }

  MemoryConsole terminal;
};

}  // namespace console
