// The file selector: its pattern language, and the selector itself on the
// in-memory console in a scratch directory (layout, pages, keys, directories).
#include "console/file_selector.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/console/screen_fixture.h"

namespace console {
namespace {

TEST(MatchPattern, EveryElementAndItsCorners) {
  struct Case {
    const char* pattern;
    const char* name;
    int result;
  };
  const Case cases[] = {
      {"", "", 1},
      {"", "A", 0},
      {"SETUP.STP", "SETUP.STP", 1},
      {"SETUP.STP", "SETUP.STPX", 0},
      // Letters match case-sensitively.
      {"*.STP", "SETUP.STP", 1},
      {"*.STP", "setup.stp", 0},
      {"*.STP", "A.STP.STP", 1},
      {"*.STP", ".STP", 1},
      {"=", "A", 1},
      {"=", "", 0},
      {"=", "AB", 0},
      {"#", "7", 1},
      {"#", "A", 0},
      {"?", "a", 1},
      {"?", "Z", 1},
      {"?", "5", 0},
      {"?", "_", 0},
      // "(": the whole run of digits, by value, against each range.
      {"(1-3,7)", "2", 1},
      {"(1-3,7)", "7", 1},
      {"(1-3,7)", "5", 0},
      {"(1-3,7)", "23", 0},
      {"(10)", "010", 1},
      {"(5-)", "4", 0},
      {"(5-)", "4000000000", 1},
      {"(2,4,6)", "4", 1},
      {"(2,4,6)", "5", 0},
      {"F(1-3).KXT", "F2.KXT", 1},
      {"F(1-3).KXT", "F.KXT", 0},  // a digit must stand there
      {"(1-3", "2", 0},            // no ")"
      {"(0-5)", "4294967297", 0},  // too long for 32 bits: not wrapped round to 1
      {"(4294967295-)", "99999999999", 1},
      // "[": characters and ranges, "-" next to "]" or at the start as itself.
      {"[A-C]#", "B4", 1},
      {"[A-C]#", "D4", 0},
      {"[A-C]#", "b4", 0},
      {"[A-C]#", "B", 0},
      {"[ACE]", "E", 1},
      {"[ACE]", "B", 0},
      {"[a-]", "-", 1},
      {"[a-]", "a", 1},
      {"[a-]", "b", 0},
      {"[-a]", "-", 1},
      {"[z-a]", "m", 0},
      {"[]", "x", 0},
      {"[abc", "a", 0},  // no "]"
      {"[a-c]", "", 0},
      {"[!-~]", "\xE9", 0},  // signed comparison: 0xE9 lies below "!"
      // "*": any run, also none; a "*" in the name is matched like any character.
      {"*", "", 1},
      {"**", "ANY", 1},
      {"A*", "A", 1},
      {"*A*B", "XAYB", 1},
      {"*A*B", "XAYBC", 0},
      {"*.STP", "*X.STP", 1},
      {"*x*x*x*x*x*x*x*x*x*x*y", "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchPattern(c.pattern, c.name), c.result) << c.pattern << " / " << c.name;
  }
}

TEST(ReadDecimal, ReadsTheRunOfDigits) {
  struct Case {
    const char* text;
    uint32_t value;
    int consumed;
  };
  const Case cases[] = {
      {"123abc", 123, 3},
      {"abc", 0, 0},
      {"", 0, 0},
      {"4294967295", UINT32_MAX, 10},
      {"99999999999-", UINT32_MAX, 11},
  };
  for (const Case& c : cases) {
    uint32_t value = 1;
    const char* end = ReadDecimal(c.text, &value);
    EXPECT_EQ(value, c.value) << c.text;
    EXPECT_EQ(end - c.text, c.consumed) << c.text;
  }
}

// A scratch directory made current for the test, and the toolkit screen.
class Selector : public ScreenFixture {
 protected:
  void SetUp() override {
    ScreenFixture::SetUp();
    char pattern[] = "/tmp/kxt_selector_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    scratch_ = pattern;
    char old[PATH_MAX];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    previous_ = old;
    ASSERT_EQ(chdir(scratch_.c_str()), 0);
  }
  void TearDown() override {
    EXPECT_EQ(chdir(previous_.c_str()), 0);
    std::system(("rm -rf " + scratch_).c_str());
    ScreenFixture::TearDown();
  }

  static void MakeFile(const std::string& name) {
    std::FILE* file = std::fopen(name.c_str(), "w");
    ASSERT_NE(file, nullptr) << name;
    std::fclose(file);
  }
  static void MakeDirectory(const std::string& name) { ASSERT_EQ(mkdir(name.c_str(), 0755), 0); }

  // ".." first, F000 to F098, then SUB: 101 entries, two pages.
  void MakeTwoPages() {
    for (int i = 0; i < 99; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "F%03d.STP", i);
      MakeFile(name);
    }
    MakeDirectory("SUB");
    MakeFile("SUB/INNER.STP");
  }

  static std::string CurrentDirectory() {
    char path[PATH_MAX];
    return getcwd(path, sizeof path) != nullptr ? path : "";
  }

  // Runs the selector with its field at row 5, column 20.
  int Select(std::initializer_list<int> keys, std::string* chosen) {
    terminal.TypeKeys(keys);
    char result[kSelectedNameLimit + 1] = "unset";
    int outcome = SelectFile(5, 20, "*.STP", result, 1);
    *chosen = result;
    EXPECT_TRUE(terminal.ScriptDone());
    return outcome;
  }

  // The name field as the terminal shows it while it is being edited.
  std::string Field() const { return terminal.RowText(4).substr(19, 8); }

  std::string scratch_;
  std::string previous_;
};

TEST_F(Selector, PageLayoutWithDirectoriesInBracketsAndTheSecondPage) {
  MakeTwoPages();
  int checks = 0;
  AddHotKey(kKeyF5, [&](int, std::int32_t) {
    ++checks;
    if (checks == 1) {
      // Entry k at row 14 + k mod 12, column 2 + 10 * (k div 12).
      EXPECT_EQ(ImageText(14, 1, 10), "[ parent ]");
      EXPECT_EQ(ImageCode(14, 2), kInverseBright);  // highlighted
      EXPECT_EQ(ImageCode(14, 1), kNormal);
      EXPECT_EQ(ImageText(15, 2, 9), "F000    ");
      EXPECT_EQ(ImageCode(15, 2), kNormal);
      EXPECT_EQ(ImageText(14, 12, 15), "F011");
      EXPECT_EQ(ImageText(25, 72, 75), "F094");
      EXPECT_EQ(Field(), "........");  // a directory leaves the field empty
    } else {
      // Page Down: F095 to F098 and SUB on the second page, the rest blank.
      EXPECT_EQ(ImageText(14, 2, 5), "F095");
      EXPECT_EQ(ImageCode(14, 2), kInverseBright);
      EXPECT_EQ(Field(), "F095....");
      EXPECT_EQ(ImageText(18, 1, 10), "[SUB     ]");
      EXPECT_EQ(ImageCode(18, 2), kBright);
      EXPECT_EQ(ImageText(19, 1, 80), std::string(80, ' '));
      EXPECT_EQ(ImageText(14, 12, 15), "    ");
    }
    return 0;
  });
  std::string chosen;
  EXPECT_EQ(Select({kKeyF5, kKeyPageDown, kKeyF5, kKeyEscape}, &chosen), 0);
  EXPECT_EQ(checks, 2);
  EXPECT_EQ(ImageText(14, 1, 80), std::string(80, ' '));  // the list is cleared at the end
}

TEST_F(Selector, KeysMoveThroughColumnsAndPages) {
  MakeTwoPages();
  struct Case {
    std::initializer_list<int> keys;
    const char* chosen;
  };
  const Case cases[] = {
      {{kKeyDown, kKeyRight, kKeyEnter}, "F012"},
      {{kKeyDown, kKeyDown, kKeyUp, kKeyEnter}, "F000"},
      {{kKeyEnd, kKeyEnter}, "F094"},
      {{kKeyPageUp, kKeyDown, kKeyEnter}, "F000"},
      {{kKeyPageDown, kKeyHome, kKeyEnter}, "F095"},
      {{kKeyPageDown, kKeyPageUp, kKeyEnter}, "F094"},  // the previous page's last entry
      // Right from column 7 draws the next page: same place, clamped to SUB
      // (row 4 of column 0); Left from column 0 goes back, same place.
      {{kKeyRight, kKeyRight, kKeyRight, kKeyRight, kKeyRight, kKeyRight, kKeyRight, kKeyRight,
        kKeyUp, kKeyEnter},
       "F098"},
      {{kKeyRight, kKeyRight, kKeyRight, kKeyRight, kKeyRight, kKeyRight, kKeyRight, kKeyRight,
        kKeyLeft, kKeyEnter},
       "F003"},
      // Page Down on the last page goes to its last entry, SUB.
      {{kKeyPageDown, kKeyPageDown, kKeyUp, kKeyEnter}, "F098"},
  };
  for (const Case& c : cases) {
    std::string chosen;
    EXPECT_EQ(Select(c.keys, &chosen), 1);
    EXPECT_EQ(chosen, c.chosen);
    EXPECT_EQ(CurrentDirectory(), scratch_);
  }
}

TEST_F(Selector, ParentAndSubdirectoriesAreEntered) {
  MakeTwoPages();
  int checks = 0;
  AddHotKey(kKeyF5, [&](int, std::int32_t) {
    ++checks;
    EXPECT_EQ(CurrentDirectory(), scratch_ + "/SUB");
    EXPECT_EQ(ImageText(14, 1, 10), "[ parent ]");
    EXPECT_EQ(ImageText(15, 2, 9), "INNER   ");
    EXPECT_EQ(ImageText(16, 1, 80), std::string(80, ' '));
    return 0;
  });
  // Into SUB (the last entry), " parent " back up, then the first file.
  std::string chosen;
  EXPECT_EQ(Select({kKeyPageDown, kKeyPageDown, kKeyEnter, kKeyF5, kKeyEnter, kKeyDown, kKeyEnter},
                   &chosen),
            1);
  EXPECT_EQ(chosen, "F000");
  EXPECT_EQ(checks, 1);
  EXPECT_EQ(CurrentDirectory(), scratch_);
}

TEST_F(Selector, ADirectoryThatCannotBeEnteredIsListedAgain) {
  MakeDirectory("GONE");
  MakeFile("A.STP");
  // Gone between the listing and Enter.
  AddHotKey(kKeyF5, [](int, std::int32_t) { return rmdir("GONE") == 0 ? 0 : 1; });
  std::string chosen;
  EXPECT_EQ(Select({kKeyDown, kKeyDown, kKeyF5, kKeyEnter, kKeyDown, kKeyDown, kKeyEnter}, &chosen),
            1);
  EXPECT_EQ(chosen, "A");  // GONE no longer listed: the clamp stops on A
  EXPECT_EQ(CurrentDirectory(), scratch_);
}

TEST_F(Selector, MatchingFilesByNameAndTypedNames) {
  MakeFile("SETUP.STP");
  MakeFile("setup.stp");
  MakeFile("OTHER.STP");
  MakeFile("NOTE.TXT");
  MakeFile("LONGERNAME.STP");
  MakeFile(".STP");
  AddHotKey(kKeyF5, [](int, std::int32_t) {
    // Lower-case and other extensions hidden; long names cut to 8.
    EXPECT_EQ(ImageText(14, 1, 10), "[ parent ]");
    EXPECT_EQ(ImageText(15, 2, 9), "LONGERNA");
    EXPECT_EQ(ImageText(16, 2, 9), "OTHER   ");
    EXPECT_EQ(ImageText(17, 2, 9), "SETUP   ");
    EXPECT_EQ(ImageText(18, 1, 80), std::string(80, ' '));
    return 0;
  });
  struct Case {
    std::initializer_list<int> keys;
    int outcome;
    const char* chosen;
  };
  const Case cases[] = {
      {{kKeyF5, kKeyDown, kKeyEnter}, 1, "LONGERNA"},
      // Down stops at the last entry; an empty field over a file gives the file.
      {{kKeyDown, kKeyDown, kKeyDown, kKeyDown, kKeyClearField, kKeyEnter}, 1, "SETUP"},
      // The first key typed replaces the file's name; typed letters are capitals.
      {{kKeyDown, 'n', 'e', 'w', '1', kKeyEnter}, 1, "NEW1"},
      {{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', kKeyEnter}, 1, "ABCDEFGH"},
      {{kKeyEscape}, 0, "unset"},
  };
  for (const Case& c : cases) {
    std::string chosen;
    EXPECT_EQ(Select(c.keys, &chosen), c.outcome);
    EXPECT_EQ(chosen, c.chosen);
  }
}

TEST_F(Selector, NothingListedAndNothingTypedKeepsWaiting) {
  // No directories asked for and no file matches: Enter and the cursor keys
  // find no entry, until Escape.
  terminal.TypeKeys({kKeyEnter, kKeyDown, kKeyEnd, kKeyPageDown, kKeyRight, kKeyEscape});
  char result[kSelectedNameLimit + 1] = "unset";
  EXPECT_EQ(SelectFile(5, 20, "*.STP", result, 0), 0);
  EXPECT_TRUE(terminal.ScriptDone());
}

}  // namespace
}  // namespace console
