// The screen image against what reaches the terminal: PutText's diff and run
// merging, layout in a width, clamping, clearing, repaint, the save slot,
// windows and the boxes built on them.
#include <cstring>
#include <string>
#include <vector>

#include "console/windows.h"
#include "tests/console/screen_fixture.h"

namespace console {
namespace {

using ScreenTest = ScreenFixture;

TEST_F(ScreenTest, SameTextTwiceWritesNothingTheSecondTime) {
  PutText("Register 40001", 5, 10, 20, '.', kBright);
  EXPECT_GT(terminal.CellsWritten(), 0);
  terminal.ForgetWrites();
  PutText("Register 40001", 5, 10, 20, '.', kBright);
  EXPECT_TRUE(terminal.Writes().empty());
  // Same characters in another colour are a change.
  PutText("Register 40001", 5, 10, 20, '.', kInverse);
  EXPECT_EQ(terminal.CellsWritten(), 20);
}

TEST_F(ScreenTest, ChangedCellWritesOnlyItsRun) {
  PutText("HELLO WORLD", 5, 10, 0, ' ', kNormal);
  terminal.ForgetWrites();
  PutText("HELLO WXRLD", 5, 10, 0, ' ', kNormal);
  ASSERT_EQ(terminal.Writes().size(), 1u);
  const MemoryConsole::Write& write = terminal.Writes()[0];
  EXPECT_EQ(write.row, 4);
  EXPECT_EQ(write.column, 16);
  EXPECT_EQ(write.characters, "X");
  EXPECT_EQ(write.attribute, 0x17);
  ExpectTerminalMatchesImage();
}

// Two changed cells with n unchanged ones between them: up to 5 are
// rewritten inside one run, more are skipped with a second run.
TEST_F(ScreenTest, ShortUnchangedGapsAreRewrittenLongOnesSkipped) {
  struct Case {
    int gap;
    std::vector<std::string> runs;
  };
  const Case cases[] = {{1, {"BAB"}}, {5, {"BAAAAAB"}}, {6, {"B", "B"}}, {10, {"B", "B"}}};
  for (const Case& c : cases) {
    PutText("AAAAAAAAAAAAAAAAAAAA", 3, 1, 0, ' ', kNormal);
    terminal.ForgetWrites();
    std::string changed = "AAAAAAAAAAAAAAAAAAAA";
    changed[2] = 'B';
    changed[2 + c.gap + 1] = 'B';
    PutText(changed.c_str(), 3, 1, 0, ' ', kNormal);
    std::vector<std::string> runs;
    for (const MemoryConsole::Write& write : terminal.Writes()) runs.push_back(write.characters);
    EXPECT_EQ(runs, c.runs) << "gap " << c.gap;
    EXPECT_EQ(terminal.Writes().front().column, 2) << "gap " << c.gap;
    ExpectTerminalMatchesImage();
  }
}

TEST_F(ScreenTest, TextIsLaidOutInItsWidth) {
  struct Case {
    const char* text;
    int width;
    int flags;
    const char* shown;  // columns 1..10 of the row
  };
  const Case cases[] = {
      {"ABC", 0, kNormal, "ABC       "},       // width 0: the text's own length
      {"ABCDEFGH", 3, kNormal, "ABC       "},  // cut to the width
      {"ABC", 8, kNormal, "ABC.....  "},
      {"ABC", 8, kCentre, "..ABC...  "},  // 2 before, 3 after
      {"ABC", 8, kRightAlign, ".....ABC  "},
      {"ABC", 8, kCentre | kRightAlign, "..ABC...  "},  // centring wins
      {"abc-z", 0, kCapitals, "ABC-Z     "},
      {"", 4, kNormal, "....      "},
  };
  for (const Case& c : cases) {
    ClearToEol(7, 1);
    PutText(c.text, 7, 1, c.width, '.', c.flags);
    EXPECT_EQ(ImageText(7, 1, 10), c.shown) << c.text << " in " << c.width;
  }
  ExpectTerminalMatchesImage();
}

TEST_F(ScreenTest, CoordinatesAreClampedAndTextIsCutAtColumn132) {
  PutText("A", 0, 0, 0, ' ', kNormal);
  EXPECT_EQ(ImageCharacter(1, 1), 'A');
  PutText("B", 30, 5, 0, ' ', kNormal);
  EXPECT_EQ(ImageCharacter(25, 5), 'B');
  PutText("C", -4, 200, 0, ' ', kNormal);
  EXPECT_EQ(ImageCharacter(1, 132), 'C');
  PutText("ABCDEFGHIJ", 10, 128, 0, ' ', kNormal);
  EXPECT_EQ(ImageText(10, 128, 132), "ABCDE");
  EXPECT_EQ(ImageCharacter(11, 1), ' ');  // nothing spills onto the next row
  // A width beyond the image is held to it.
  PutText("X", 12, 1, 500, '-', kNormal);
  EXPECT_EQ(ImageText(12, 130, 132), "---");
  ExpectTerminalMatchesImage();
}

TEST_F(ScreenTest, AttributeCodesMapToTheConsoleColours) {
  for (int code = 0; code < 8; ++code) {
    PutText("x", 2, 1 + code, 0, ' ', code);
    EXPECT_EQ(terminal.CellAt(1, code).attribute, ConsoleAttributeOf(code)) << code;
    EXPECT_EQ(ImageCode(2, 1 + code), code);
  }
}

TEST_F(ScreenTest, ClearingBlanksImageAndTerminal) {
  for (int row = 1; row <= 25; ++row) PutText("XXXXXXXXXX", row, 75, 0, ' ', kBright);
  ClearToEol(3, 78);
  EXPECT_EQ(ImageText(3, 75, 84), "XXX       ");
  EXPECT_EQ(ImageCode(3, 80), 0);
  ClearToEos(20, 80);
  EXPECT_EQ(ImageText(20, 75, 84), "XXXXX     ");
  EXPECT_EQ(ImageText(21, 75, 84), "          ");
  EXPECT_EQ(ImageText(25, 75, 84), "          ");
  EXPECT_EQ(ImageText(19, 75, 84), "XXXXXXXXXX");
  ExpectTerminalMatchesImage();
}

TEST_F(ScreenTest, RepaintSkipsBlankCellsAndSplitsRunsByCode) {
  PutText("AB", 2, 5, 0, ' ', kNormal);
  PutText("CD", 2, 7, 0, ' ', kBright);
  PutText("E", 20, 80, 0, ' ', kInverse);
  PutText("invisible", 20, 100, 0, ' ', kInverse);  // past column 80
  terminal.ForgetWrites();
  RepaintScreen();
  ASSERT_EQ(terminal.Writes().size(), 4u);
  EXPECT_TRUE(terminal.Writes()[0].fill);  // the whole terminal blanked first
  EXPECT_EQ(terminal.Writes()[0].characters.size(), 2000u);
  EXPECT_EQ(terminal.Writes()[1].characters, "AB");
  EXPECT_EQ(terminal.Writes()[2].characters, "CD");
  EXPECT_EQ(terminal.Writes()[3].characters, "E");
  ExpectTerminalMatchesImage();
}

TEST_F(ScreenTest, RequestedRepaintHappensBeforeTheNextOutput) {
  PutText("kept", 4, 4, 0, ' ', kNormal);
  terminal.FillCells(0, 0, '#', 2000, 0x07);  // something wrote behind our back
  RequestRepaint();
  PutText("new", 6, 1, 0, ' ', kNormal);
  EXPECT_FALSE(RepaintPending());
  ExpectTerminalMatchesImage();
}

TEST_F(ScreenTest, RestoreScreenWritesOnlyCellsThatDiffer) {
  PutText("The saved page", 10, 20, 0, ' ', kBright);
  SaveScreen();
  PutText("Thx saved pagX and more", 10, 20, 0, ' ', kInverse);
  terminal.ForgetWrites();
  RestoreScreen();
  EXPECT_EQ(ImageText(10, 20, 42), "The saved page         ");
  EXPECT_EQ(ImageCode(10, 20), kBright);
  EXPECT_EQ(ImageCode(10, 40), 0);
  // Every cell differs in code, so one stretch in two runs: the text in
  // bright, then the blanks after it in normal.
  ASSERT_EQ(terminal.Writes().size(), 2u);
  EXPECT_EQ(terminal.Writes()[0].characters, "The saved page");
  EXPECT_EQ(terminal.Writes()[1].characters, "         ");
  ExpectTerminalMatchesImage();

  terminal.ForgetWrites();
  RestoreScreen();  // nothing differs any more
  EXPECT_TRUE(terminal.Writes().empty());
}

TEST_F(ScreenTest, RestoreScreenWithRepaintPendingRepaintsEverything) {
  PutText("saved", 1, 1, 0, ' ', kNormal);
  SaveScreen();
  PutText("later", 1, 1, 0, ' ', kNormal);
  RequestRepaint();
  terminal.ForgetWrites();
  RestoreScreen();
  ASSERT_FALSE(terminal.Writes().empty());
  EXPECT_TRUE(terminal.Writes()[0].fill);
  EXPECT_EQ(ImageText(1, 1, 5), "saved");
  ExpectTerminalMatchesImage();
}

TEST_F(ScreenTest, WindowOpenedAndClosedLeavesTheImageAndWritesOnlyWhatDiffered) {
  for (int row = 1; row <= 25; ++row) {
    PrintAt("%02d: some text on this row", row, 1, 0, ' ', row % 8, row);
  }
  PutText("         ", 8, 12, 0, ' ', kNormal);  // blanks the window's inside keeps
  std::vector<unsigned char> characters_before, codes_before;
  for (int row = 1; row <= 25; ++row) {
    for (int column = 1; column <= kImageColumns; ++column) {
      characters_before.push_back(ImageCharacter(row, column));
      codes_before.push_back(static_cast<unsigned char>(ImageCode(row, column)));
    }
  }
  Window* window = OpenBox(6, 10, 12, 30, "Title");
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(ImageCharacter(6, 10), kFrameTopLeft);
  EXPECT_EQ(ImageCharacter(12, 30), kFrameBottomRight);
  EXPECT_EQ(ImageText(6, 18, 22), "Title");
  EXPECT_EQ(ImageCode(6, 18), kInverse);
  int differing = 0;
  for (int row = 6; row <= 12; ++row) {
    for (int column = 10; column <= 30; ++column) {
      size_t cell = (row - 1) * kImageColumns + column - 1;
      if (ImageCharacter(row, column) != characters_before[cell] ||
          ImageCode(row, column) != codes_before[cell]) {
        ++differing;
      }
    }
  }
  terminal.ForgetWrites();
  CloseWindow(&window);
  EXPECT_EQ(window, nullptr);
  size_t cell = 0;
  for (int row = 1; row <= 25; ++row) {
    for (int column = 1; column <= kImageColumns; ++column, ++cell) {
      ASSERT_EQ(ImageCharacter(row, column), characters_before[cell]) << row << "," << column;
      ASSERT_EQ(ImageCode(row, column), codes_before[cell]) << row << "," << column;
    }
  }
  EXPECT_EQ(terminal.CellsWritten(), differing);
  for (const MemoryConsole::Write& write : terminal.Writes()) {
    EXPECT_GE(write.row, 5);
    EXPECT_LE(write.row, 11);
    EXPECT_GE(write.column, 9);
    EXPECT_LE(write.column + static_cast<int>(write.characters.size()), 30);
  }
  ExpectTerminalMatchesImage();
  CloseWindow(&window);  // already null: nothing happens
}

TEST_F(ScreenTest, WindowsClosedOutOfOrderStillRestoreTheScreen) {
  PutText("background", 5, 5, 0, ' ', kBright);
  Window* first = OpenPanel(4, 4, 8, 20);
  PutText("first", 5, 6, 0, ' ', kRed);
  Window* second = OpenBox(6, 10, 9, 30, "");
  CloseWindow(&first);  // puts its saved cells over the second one
  CloseWindow(&second);
  EXPECT_EQ(ImageText(5, 5, 14), "background");
  EXPECT_EQ(ImageCharacter(9, 30), ' ');
  ExpectTerminalMatchesImage();
}

TEST_F(ScreenTest, TitleLongerThanTheWindowStartsAtTheComputedColumn) {
  Window* window = OpenBox(2, 10, 4, 15, "A long title");
  // (10 + 15 - 12 + 1) / 2 = 7
  EXPECT_EQ(ImageText(2, 7, 18), "A long title");
  CloseWindow(&window);
}

TEST_F(ScreenTest, ErrorBoxWaitsForF10OrCtrlEnter) {
  terminal.TypeKeys({kKeyEscape, kKeyEnter, 'x', kKeyF10});
  EXPECT_EQ(ShowError("Bad value"), 1);
  EXPECT_EQ(terminal.Bells(), 4);  // one beep before each key read
  EXPECT_TRUE(terminal.ScriptDone());
  terminal.TypeKeys({kKeyCtrlEnter});
  EXPECT_EQ(ShowError("Bad value"), 0);
  // The box is gone again.
  EXPECT_EQ(ImageText(22, 60, 80), std::string(21, ' '));
  ExpectTerminalMatchesImage();
}

// A hot key's handler that looks at the error box while it is shown.
std::string g_seen_rows[3];
int RecordErrorRows(int, std::int32_t) {
  for (int i = 0; i < 3; ++i) g_seen_rows[i] = ImageRowText(22 + i);
  return 0;
}

TEST_F(ScreenTest, ErrorBoxLayoutAndLongTexts) {
  AddHotKey(kKeyF5, RecordErrorRows);
  terminal.TypeKeys({kKeyF5, kKeyF10});
  ShowError("Bad value");  // 9 characters: box from column 66, text from 68 to 76
  EXPECT_EQ(g_seen_rows[0].substr(65, 14),
            "\xC9\xCD\xCD\xCD"
            "ERROR"
            "\xCD\xCD\xCD\xCD\xBB");
  EXPECT_EQ(g_seen_rows[1].substr(65, 14), "\xBA Bad value  \xBA");
  EXPECT_EQ(g_seen_rows[2].substr(65, 14), "\xC8" + std::string(12, '\xCD') + "\xBC");

  const std::string long_text(90, 'e');
  terminal.TypeKeys({kKeyF5, kKeyF10});
  ShowError(long_text.c_str());
  EXPECT_EQ(static_cast<unsigned char>(g_seen_rows[0][0]), kFrameTopLeft);
  EXPECT_EQ(g_seen_rows[1].substr(0, 80), std::string(80, 'e'));  // text from column 1

  terminal.TypeKeys({kKeyF5, kKeyF10});
  ShowStatusError("Write failed", -3);
  EXPECT_NE(g_seen_rows[1].find("Write failed. Status = -3"), std::string::npos);
  RemoveHotKey(kKeyF5);
}

TEST_F(ScreenTest, ConfirmAnswers) {
  struct Case {
    int key;
    int answer;
  };
  const Case cases[] = {{kKeyEnter, 1}, {'Y', 1},        {'y', 1}, {'S', 1},
                        {'s', 1},       {kKeyEscape, 0}, {'N', 0}, {'n', 0}};
  for (const Case& c : cases) {
    terminal.TypeKeys({c.key});
    EXPECT_EQ(Confirm("Write the setup file?"), c.answer) << c.key;
  }
  terminal.TypeKeys({'q', kKeyF10, 'y'});
  int bells = terminal.Bells();
  EXPECT_EQ(Confirm("Sure?"), 1);
  EXPECT_EQ(terminal.Bells() - bells, 2);
  EXPECT_EQ(ImageRowText(23), std::string(80, ' '));
}

TEST_F(ScreenTest, ConfirmPlacesTheQuestion) {
  AddHotKey(kKeyF5, RecordErrorRows);
  terminal.TypeKeys({kKeyF5, 'n'});
  Confirm("Quit?");  // 5 characters: box to column 10, question from column 4
  EXPECT_EQ(g_seen_rows[0].substr(0, 10),
            "\xC9"
            "CONFIRM"
            "\xCD\xBB");
  EXPECT_EQ(g_seen_rows[1].substr(0, 10), "\xBA  Quit? \xBA");
  RemoveHotKey(kKeyF5);
}

TEST_F(ScreenTest, TerminalCursorAndClearingOutsideTheImage) {
  PutText("image", 1, 1, 0, ' ', kNormal);
  SetCursor(0, 2);
  EXPECT_EQ(terminal.CursorRow(), 0);
  EXPECT_EQ(terminal.CursorColumn(), 2);
  ShowCursor();
  EXPECT_TRUE(terminal.CursorVisible());
  ClearConsoleFromCursor();
  EXPECT_EQ(terminal.RowText(0).substr(0, 5), "im   ");
  EXPECT_EQ(ImageText(1, 1, 5), "image");  // the image is left alone
  HideCursor();
  EXPECT_FALSE(terminal.CursorVisible());
}

}  // namespace
}  // namespace console
