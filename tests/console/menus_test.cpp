// Menus driven by scripted keys: hot letters, the cascade between
// pull-downs, the pull-down held inside column 80, Escape back to the bar.
#include "console/menus.h"

#include <string>

#include "console/windows.h"
#include "tests/console/screen_fixture.h"

namespace console {
namespace {

// Titles 1 to 4; "Help" has no items.
const char* const kMenu[] = {
    "File",  "Open", "Save", "Quit",  nullptr, "eDit",  "Cut",   "Copy",
    nullptr, "View", "Zoom", nullptr, "Help",  nullptr, nullptr,
};

using Menus = ScreenFixture;

TEST_F(Menus, ItemsChosenByMovingOrByHotLetter) {
  struct Case {
    std::initializer_list<int> keys;
    int result;
  };
  const Case cases[] = {
      {{kKeyEnter, kKeyEnter}, 101},
      {{kKeyEnter, kKeyDown, kKeyDown, kKeyDown, kKeyEnter}, 103},  // stops at the last item
      {{kKeyEnter, kKeyUp, kKeyEnter}, 101},                        // and at the first
      {{'d', 'c'}, 201},  // eDit by its D; "Cut" and "Copy": the upper one
      {{'D', 'C'}, 201},
      {{'f', 'x', 'q'}, 103},  // no item with X: a beep, then Quit
      {{'h'}, 400},            // a title without items
      {{kKeyRight, kKeyRight, kKeyRight, kKeyEnter}, 400},
      {{kKeyEscape}, 0},
      {{kKeyF1}, 0},
  };
  for (const Case& c : cases) {
    terminal.TypeKeys(c.keys);
    EXPECT_EQ(RunMenu(kMenu, 1, 100), c.result);
    EXPECT_TRUE(terminal.ScriptDone());
  }
}

TEST_F(Menus, LeftAndRightMoveBetweenPullDownsAndStopAtTheEnds) {
  struct Case {
    int initial;
    std::initializer_list<int> keys;
    int result;
  };
  const Case cases[] = {
      {100, {kKeyEnter, kKeyRight, kKeyEnter}, 201},
      {100, {kKeyEnter, kKeyRight, kKeyRight, kKeyEnter}, 301},
      {100, {kKeyEnter, kKeyLeft, kKeyEnter}, 101},  // no wrap past the first title
      // From View's pull-down, Right reaches Help, which has no items: the
      // bar waits on Help; Left there moves the bar back, Enter opens View.
      {300, {kKeyEnter, kKeyRight, kKeyLeft, kKeyEnter, kKeyEnter}, 301},
      {300, {kKeyEnter, kKeyRight, kKeyEnter}, 400},
      {202, {kKeyEnter, kKeyEnter}, 202},  // the initial item is current
  };
  for (const Case& c : cases) {
    terminal.TypeKeys(c.keys);
    EXPECT_EQ(RunMenu(kMenu, 1, c.initial), c.result) << c.initial;
    EXPECT_TRUE(terminal.ScriptDone());
  }
}

TEST_F(Menus, EscapeInAPullDownGoesBackToTheBarOnTheSameTitle) {
  // (80 - 16) / 3 = 21: eDit at column 26 on the bar.
  AddHotKey(kKeyF5, [](int, std::int32_t) {
    EXPECT_EQ(ImageCode(1, 26), kNormal);        // current title: normal...
    EXPECT_EQ(ImageCode(1, 27), kBright);        // ...with its hot letter bright
    EXPECT_EQ(ImageCode(1, 1), kInverseBright);  // other titles in bar colours
    EXPECT_EQ(ImageCode(1, 2), kInverse);
    EXPECT_EQ(ImageCharacter(3, 23), ' ');  // no pull-down open
    return 0;
  });
  terminal.TypeKeys({kKeyRight, kKeyEnter, kKeyEscape, kKeyF5, kKeyEnter, kKeyDown, kKeyEnter});
  EXPECT_EQ(RunMenu(kMenu, 1, 100), 202);
  // The chosen title is left bright on the bar; the pull-down is gone.
  EXPECT_EQ(ImageCode(1, 26), kBright);
  EXPECT_EQ(ImageCode(1, 27), kBright);
  EXPECT_EQ(ImageText(1, 1, 4), "File");
  EXPECT_EQ(ImageCode(1, 2), kInverse);
  EXPECT_EQ(ImageCode(1, 1), kInverseBright);
  EXPECT_EQ(ImageText(2, 1, 80), std::string(80, ' '));
  ExpectTerminalMatchesImage();
}

TEST_F(Menus, PullDownsOpenUnderTheirTitles) {
  // Pull-down columns step by (80 - 16) / 4 = 16: File 1, eDit 21, View 41.
  AddHotKey(kKeyF5, [](int, std::int32_t) {
    EXPECT_EQ(ImageCharacter(2, 21), kFrameTopLeft);
    EXPECT_EQ(ImageCharacter(5, 27), kFrameBottomRight);  // 2 items, width 4
    EXPECT_EQ(ImageText(3, 22, 26), "Cut  ");
    EXPECT_EQ(ImageCode(3, 22), kInverseBright);  // current item, hot letter
    EXPECT_EQ(ImageCode(3, 23), kInverse);
    EXPECT_EQ(ImageCode(4, 22), kBright);
    EXPECT_EQ(ImageCode(4, 23), kNormal);
    return 0;
  });
  terminal.TypeKeys({'d', kKeyF5, kKeyEscape, kKeyEscape});
  EXPECT_EQ(RunMenu(kMenu, 1, 100), 0);
}

TEST_F(Menus, PullDownPassingColumn80MovesLeft) {
  const char* const items[] = {"Ten chars!", "Two", nullptr};
  AddHotKey(kKeyF5, [](int, std::int32_t) {
    EXPECT_EQ(ImageCharacter(5, 68), kFrameTopLeft);  // 78 - 10
    EXPECT_EQ(ImageCharacter(5, 80), kFrameTopRight);
    EXPECT_EQ(ImageText(6, 69, 79), "Ten chars! ");
    return 0;
  });
  terminal.TypeKeys({kKeyF5, 't'});
  EXPECT_EQ(PopupMenu(items, 5, 75, 1, 0), 1);  // "Ten" and "Two": the upper T
  EXPECT_EQ(ImageText(5, 60, 80), std::string(21, ' '));
}

TEST_F(Menus, PopupWithoutCascadeIgnoresLeftAndRight) {
  const char* const items[] = {"One", "Two", nullptr};
  terminal.TypeKeys({kKeyRight, kKeyLeft, kKeyDown, kKeyEnter});
  EXPECT_EQ(PopupMenu(items, 3, 3, 1, 0), 2);
  EXPECT_TRUE(terminal.ScriptDone());
}

TEST_F(Menus, BarMenuResults) {
  const char* const titles[] = {"Alpha", "Beta", "Gamma", nullptr};
  struct Case {
    int initial;
    std::initializer_list<int> keys;
    int result;
  };
  const Case cases[] = {
      {1, {kKeyEnter}, 1},
      {2, {kKeyCtrlEnter}, -2},
      {9, {kKeyEnter}, 3},  // clamped to the last
      {1, {kKeyLeft, kKeyRight, kKeyRight, kKeyRight, kKeyEnter}, 3},
      {1, {'g'}, 3},
      {3, {'z', kKeyEscape}, 0},
  };
  for (const Case& c : cases) {
    int bells = terminal.Bells();
    terminal.TypeKeys(c.keys);
    EXPECT_EQ(BarMenu(titles, 10, c.initial), c.result);
    EXPECT_TRUE(terminal.ScriptDone());
    if (c.result == 0) {
      EXPECT_EQ(terminal.Bells() - bells, 1);
    }
  }
  // Alpha at 1, Beta at 1 + 5 + (80 - 14) / 2 = 39, Gamma at 76.
  EXPECT_EQ(ImageText(10, 39, 42), "Beta");
  EXPECT_EQ(ImageText(10, 76, 80), "Gamma");
}

TEST_F(Menus, F1IsEscapeUnlessAHotKeyTakesIt) {
  int help_shown = 0;
  AddHotKey(kKeyF1, [&](int, std::int32_t) {
    ++help_shown;
    return 0;
  });
  terminal.TypeKeys({kKeyF1, kKeyEnter, kKeyEnter});
  EXPECT_EQ(RunMenu(kMenu, 1, 100), 101);
  EXPECT_EQ(help_shown, 1);
}

TEST_F(Menus, DegenerateMenusDoNotFail) {
  const char* const one[] = {"Only", nullptr};
  const char* const none[] = {nullptr};
  terminal.TypeKeys({kKeyEnter});
  EXPECT_EQ(BarMenu(one, 1, 1), 1);
  EXPECT_EQ(BarMenu(none, 1, 1), 0);
  EXPECT_EQ(PopupMenu(none, 1, 1, 1, 1), 0);
  EXPECT_EQ(RunMenu(none, 1, 100), 0);
}

}  // namespace
}  // namespace console
