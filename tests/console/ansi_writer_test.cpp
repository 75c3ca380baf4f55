// The bytes that reach a real terminal: a small VT model reads them back
// (cursor moves, colours, UTF-8), and the counts show that the cursor moves
// only to cells that are not adjacent and colours change only where they do.
#include "console/ansi_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "console/cp437.h"

namespace console {
namespace {

// Understands what AnsiWriter sends: CUP, CHA, SGR, cursor show/hide, BEL,
// UTF-8 text; autowrap off.
class VtModel {
 public:
  struct Cell {
    std::string glyph = " ";
    std::string colours;
  };
  void Feed(const std::string& bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
      unsigned char byte = bytes[i];
      if (byte == 0x1b) {
        size_t end = bytes.find_first_of("HGmlhX", i + 2);
        ASSERT_NE(end, std::string::npos);
        std::string body = bytes.substr(i + 2, end - i - 2);
        char final_byte = bytes[end];
        if (final_byte == 'H') {
          ++moves;
          row = std::stoi(body.substr(0, body.find(';'))) - 1;
          column = std::stoi(body.substr(body.find(';') + 1)) - 1;
        } else if (final_byte == 'G') {
          ++moves;
          column = std::stoi(body) - 1;
        } else if (final_byte == 'X') {
          ++erases;
          for (int n = std::stoi(body), c = column; n > 0 && c < 80; --n, ++c) {
            cells[row][c] = Cell{" ", colours};
          }
        } else if (final_byte == 'm') {
          ++colour_changes;
          colours = bytes.substr(i, end - i + 1);
        } else {
          cursor_visible = final_byte == 'h';
        }
        i = end + 1;
        continue;
      }
      if (byte == '\a') {
        ++bells;
        ++i;
        continue;
      }
      size_t length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
      ASSERT_GE(row, 0);
      ASSERT_LT(column, 80);
      cells[row][column] = Cell{bytes.substr(i, length), colours};
      ++glyphs;
      if (column < 79) ++column;
      i += length;
    }
  }
  Cell cells[25][80];
  std::string colours;
  int row = -1;
  int column = -1;
  int moves = 0;
  int colour_changes = 0;
  int glyphs = 0;
  int bells = 0;
  int erases = 0;
  bool cursor_visible = true;
};

TEST(AnsiWriter, TerminalShowsWhatWasWritten) {
  AnsiWriter writer;
  VtModel terminal;
  writer.Fill(0, 0, ' ', 2000, 0x17);
  const unsigned char frame[] = {0xC9, 0xCD, 0xCD, 0xBB};
  writer.Cells(3, 10, frame, 4, 0x17);
  const unsigned char text[] = {'A', 0x82, 'z'};  // 0x82: e acute
  writer.Cells(24, 77, text, 3, 0x6C);            // the last cell of the screen
  writer.Cells(5, 78, text, 3, 0x7E);             // the third cell is past column 80
  terminal.Feed(writer.Output());

  EXPECT_EQ(terminal.cells[3][10].glyph, "\xE2\x95\x94");  // ╔
  EXPECT_EQ(terminal.cells[3][11].glyph, "\xE2\x95\x90");  // ═
  EXPECT_EQ(terminal.cells[3][13].glyph, "\xE2\x95\x97");  // ╗
  EXPECT_EQ(terminal.cells[3][13].colours, "\x1b[0;37;44m");
  EXPECT_EQ(terminal.cells[24][78].glyph, "\xC3\xA9");
  EXPECT_EQ(terminal.cells[24][79].glyph, "z");
  EXPECT_EQ(terminal.cells[24][79].colours, "\x1b[0;91;43m");  // light red on brown
  EXPECT_EQ(terminal.cells[5][79].glyph, "\xC3\xA9");
  EXPECT_EQ(terminal.cells[5][79].colours, "\x1b[0;93;47m");  // yellow on light grey
  EXPECT_EQ(terminal.cells[6][0].glyph, " ");                 // nothing wrapped
  EXPECT_FALSE(terminal.cursor_visible);
  // The blank screen came as one erase per row, in white on blue.
  EXPECT_EQ(terminal.erases, 25);
  EXPECT_EQ(terminal.cells[20][40].colours, "\x1b[0;37;44m");
}

TEST(AnsiWriter, ShortBlankStretchesAreWrittenLongOnesErased) {
  AnsiWriter writer;
  writer.Fill(3, 70, ' ', 7, 0x17);
  EXPECT_EQ(writer.Output(), "\x1b[?25l\x1b[4;71H\x1b[0;37;44m       ");
  writer.Output().clear();
  writer.Fill(3, 70, ' ', 12, 0x17);  // 10 on this row, 2 on the next
  EXPECT_EQ(writer.Output(), "\x1b[71G\x1b[10X\x1b[5;1H  ");
}

TEST(AnsiWriter, CursorMovesOnlyToCellsThatAreNotAdjacent) {
  AnsiWriter writer;
  const unsigned char text[] = {'a', 'b', 'c'};
  writer.Cells(2, 5, text, 3, 0x17);
  writer.Cells(2, 8, text, 3, 0x17);   // adjacent: no move
  writer.Cells(2, 20, text, 1, 0x17);  // same row: a column move
  writer.Cells(9, 0, text, 1, 0x1E);   // another row and colour
  writer.Cells(9, 1, text, 1, 0x1E);
  VtModel terminal;
  terminal.Feed(writer.Output());
  EXPECT_EQ(terminal.moves, 3);
  EXPECT_EQ(terminal.colour_changes, 2);
  EXPECT_EQ(terminal.glyphs, 9);

  // One changed cell costs one move and one glyph, and nothing else when
  // the colours are already in force.
  writer.Output().clear();
  writer.Cells(17, 40, text, 1, 0x1E);
  EXPECT_EQ(writer.Output(), "\x1b[18;41Ha");
}

TEST(AnsiWriter, CursorAndForgottenState) {
  AnsiWriter writer;
  writer.ShowCursorAt(4, 6);
  EXPECT_EQ(writer.Output(), "\x1b[5;7H\x1b[?25h");
  writer.Output().clear();
  const unsigned char text[] = {'x'};
  writer.Cells(4, 6, text, 1, 0x17);  // drawing hides the cursor first
  EXPECT_EQ(writer.Output(), "\x1b[?25l\x1b[0;37;44mx");
  writer.Output().clear();
  writer.Forget();  // after the terminal was handed back: everything again
  writer.Cells(4, 7, text, 1, 0x17);
  EXPECT_EQ(writer.Output(), "\x1b[?25l\x1b[5;8H\x1b[0;37;44mx");
}

TEST(AnsiWriter, EightColourTerminalsGetBoldForBright) {
  AnsiWriter writer(true);
  EXPECT_EQ(writer.AttributeSequence(0x1E), "\x1b[0;1;33;44m");
  EXPECT_EQ(writer.AttributeSequence(0x71), "\x1b[0;34;47m");
}

TEST(Cp437, TableCoversEveryByte) {
  EXPECT_STREQ(Cp437ToUtf8(0x00), " ");
  EXPECT_STREQ(Cp437ToUtf8('A'), "A");
  EXPECT_STREQ(Cp437ToUtf8(0xBA), "\xE2\x95\x91");  // ║
  EXPECT_STREQ(Cp437ToUtf8(0xC8), "\xE2\x95\x9A");  // ╚
  EXPECT_STREQ(Cp437ToUtf8(0xBC), "\xE2\x95\x9D");  // ╝
  EXPECT_STREQ(Cp437ToUtf8(0xB3), "\xE2\x94\x82");  // │
  EXPECT_STREQ(Cp437ToUtf8(0xFF), "\xC2\xA0");
  // Every entry is one well-formed UTF-8 character with no control bytes.
  auto one_character = [](const std::string& text) {
    auto unit = [](unsigned char c, int low, int high) { return c >= low && c <= high; };
    const auto* b = reinterpret_cast<const unsigned char*>(text.data());
    switch (text.size()) {
      case 1:
        return unit(b[0], 0x20, 0x7E);
      case 2:
        return unit(b[0], 0xC2, 0xDF) && unit(b[1], 0x80, 0xBF);
      case 3:
        return unit(b[0], 0xE0, 0xEF) && unit(b[1], 0x80, 0xBF) && unit(b[2], 0x80, 0xBF);
      default:
        return false;
    }
  };
  for (int byte = 0; byte < 256; ++byte)
    EXPECT_TRUE(one_character(Cp437ToUtf8(static_cast<unsigned char>(byte)))) << byte;
}

}  // namespace
}  // namespace console
