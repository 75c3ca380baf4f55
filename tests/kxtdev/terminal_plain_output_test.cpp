// The terminal emulator's plain output as a real terminal is sent it (the
// ANSI writer) and as the in-memory console keeps it: line breaks, the wrap
// after column 80 and the scrolling of the 25 rows.
#include <gtest/gtest.h>

#include <string>

#include "console/ansi_writer.h"
#include "console/memory_console.h"

namespace console {
namespace {

const std::string kWhiteOnBlue = "\x1b[0;37;44m";

std::string Plain(AnsiWriter& writer, const std::string& text, int& row, int& column) {
  writer.Output().clear();
  writer.Plain(reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()),
               row, column);
  return writer.Output();
}

TEST(TerminalPlainOutput, WriterSendsLineBreaksWrapsAndScrolls) {
  AnsiWriter writer;
  int row = 0;
  int column = 0;
  // A line break costs two bytes; BEL and other control bytes show nothing.
  EXPECT_EQ(Plain(writer, "ab\r\n\acd", row, column), "\x1b[1;1H" + kWhiteOnBlue + "ab\n\rcd");
  EXPECT_EQ(row, 1);
  EXPECT_EQ(column, 2);
  EXPECT_EQ(Plain(writer, "\b\bX", row, column), "\rX");  // back to column 1

  // After column 80 the text goes on at the start of the next row.
  row = 3;
  column = 78;
  EXPECT_EQ(Plain(writer, "xyz", row, column), "\x1b[4;79Hxy\x1b[5;1Hz");
  EXPECT_EQ(row, 4);
  EXPECT_EQ(column, 1);

  // A line feed on row 25 scrolls rows 1..25 only (the region is set once).
  row = 24;
  column = 5;
  EXPECT_EQ(Plain(writer, "\r\n", row, column), "\x1b[1;25r\x1b[25;1H\n");
  EXPECT_EQ(row, 24);
  EXPECT_EQ(Plain(writer, "\n", row, column), "\n");
  writer.Forget();  // the terminal was taken again: the region is set anew
  EXPECT_EQ(Plain(writer, "\n", row, column), "\x1b[1;25r\x1b[25;1H" + kWhiteOnBlue + "\n");
}

TEST(TerminalPlainOutput, MemoryConsoleKeepsTheScrolledCells) {
  MemoryConsole console;
  int row = 23;
  int column = 0;
  const std::string text = "first\r\nsecond\r\nthird";
  console.WritePlain(reinterpret_cast<const unsigned char*>(text.data()),
                     static_cast<int>(text.size()), row, column);
  EXPECT_EQ(console.RowText(22).substr(0, 5), "first");
  EXPECT_EQ(console.RowText(23).substr(0, 6), "second");
  EXPECT_EQ(console.RowText(24).substr(0, 6), "third ");
  EXPECT_EQ(row, 24);
  EXPECT_EQ(column, 5);
  EXPECT_EQ(console.PlainOutput(), text);
}

}  // namespace
}  // namespace console
