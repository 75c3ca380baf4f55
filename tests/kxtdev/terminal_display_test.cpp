// What the terminal emulator shows for received bytes, with its clock given
// by the test, and what a typed hex line sends.
#include "kxtdev/terminal_display.h"

#include <gtest/gtest.h>

#include <string>

#include "kxtdev/hex_line.h"

namespace kxtdev {
namespace {

struct DisplayCase {
  const char* name;
  int start_column;
  std::string received;         // all at time 0
  std::int64_t quiet_until_ms;  // then nothing until this time (0: no look at the clock)
  std::string shown;
  int column;
  bool still_waiting;
};

TEST(TerminalDisplay, ReceivedBytesAreShownAsTheRulesSay) {
  const DisplayCase cases[] = {
      {"OK CR LF", 1, "OK\r\n", 0, "OK<0D><0A>\r\n", 1, false},
      {"lone CR, 100 ms", 1, "\r", 100, "<0D>\r\n", 1, false},
      {"lone CR, 99 ms", 1, "\r", 99, "<0D>", 5, true},
      {"CR then A", 1, "\rA", 0, "<0D>\r\nA", 2, false},
      {"CR then a control byte", 1, "\r\x01", 0, "<0D>\r\n<01>", 5, false},
      {"CR then DEL", 1, "\r\x7f", 0, "<0D>\r\n<7F>", 5, false},
      {"CR CR", 1, "\r\r", 0, "<0D>\r\n<0D>", 5, false},
      {"byte C8", 1, "\xc8", 0, "<C8>", 5, false},
      {"BEL", 1, "\x07", 0, "<07>", 5, false},
      {"printable wraps after 80", 80, "AB", 0, "AB", 2, false},
      {"hex at 77 runs to the edge", 77, "\x07", 0, "<07>", 1, false},
      {"hex at 78 starts a new line", 78, "\x07", 0, "\r\n<07>", 5, false},
      {"CR at 77 wraps and waits for nothing", 77, "\r\n", 0, "<0D><0A>", 5, false},
      {"CR at 73 ends the row and waits", 73, "\r", 100, "<0D>\r\n", 1, false},
      {"LF after a CR past 77", 74, "\r\n", 0, "<0D>\r\n<0A>\r\n", 1, false},
      {"text then line", 1, "ab\r\ncd", 0, "ab<0D><0A>\r\ncd", 3, false},
  };
  for (const DisplayCase& c : cases) {
    TerminalDisplay display;
    display.set_column(c.start_column);
    for (unsigned char byte : c.received) display.Receive(byte, 0);
    if (c.quiet_until_ms > 0) display.Idle(c.quiet_until_ms);
    EXPECT_EQ(display.Shown(), c.shown) << c.name;
    EXPECT_EQ(display.column(), c.column) << c.name;
    EXPECT_EQ(display.WaitingAfterCr(), c.still_waiting) << c.name;
  }
}

TEST(TerminalDisplay, ByteAfterTheCrWaitIsShownOnItsOwn) {
  TerminalDisplay display;
  display.Receive('\r', 1000);
  EXPECT_EQ(display.CrDeadline(), 1000 + TerminalDisplay::kCrWaitMs);
  display.Idle(1050);
  EXPECT_TRUE(display.WaitingAfterCr());
  display.Idle(1100);
  display.Receive('\n', 1150);  // too late to end the CR's line
  EXPECT_EQ(display.TakeShown(), "<0D>\r\n<0A>");
  EXPECT_EQ(display.Shown(), "");
  EXPECT_EQ(display.column(), 5);
}

TEST(TerminalDisplay, ColumnFollowsLongText) {
  TerminalDisplay display;
  std::string row(200, 'x');
  for (unsigned char byte : row) display.Receive(byte, 0);
  EXPECT_EQ(display.column(), 41);  // 200 characters: two full rows and 40 more
  display.Receive(0x1b, 0);
  EXPECT_EQ(display.column(), 45);
}

struct HexCase {
  const char* line;
  std::string sent;
  int invalid;
};

TEST(HexLine, GroupsBecomeBytesUntilABadCharacter) {
  const HexCase cases[] = {
      {"1B 5B  41", std::string("\x1b\x5b\x00\x41", 4), -1},
      {"41 4G", "\x41", 'G'},
      {"   41", "\x41", -1},
      {"\t 0d 0A", "\r\n", -1},
      {"1234 fFf 7", "\x34\xff\x07", -1},
      {"41 ", "\x41", -1},
      {"41  ", std::string("\x41\x00", 2), -1},
      {"", "", -1},
      {"zz 41", "", 'z'},
      {"41,42", "", ','},
  };
  for (const HexCase& c : cases) {
    HexLine hex = ParseHexLine(c.line);
    EXPECT_EQ(hex.bytes, c.sent) << c.line;
    EXPECT_EQ(hex.invalid_character, c.invalid) << c.line;
  }
}

}  // namespace
}  // namespace kxtdev
