#include "console/line_editor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "console/screen.h"
#include "editor_fixture.h"

namespace console {
namespace {

constexpr char kFormExits[] = "\r\x8a\x8b";  // Enter, Down, Up
constexpr int kRow = 5;
constexpr int kColumn = 10;

struct CharSetCase {
  const char* spec;
  const char* inside;
  const char* outside;
};

class CharSets : public testing::TestWithParam<CharSetCase> {};

TEST_P(CharSets, HoldExactlyTheListedCharactersAndRanges) {
  const CharSetCase& c = GetParam();
  uint16_t set[kCharSetWords];
  BuildCharSet(c.spec, set);
  for (const char* ch = c.inside; *ch; ++ch) EXPECT_TRUE(InCharSet(*ch, set)) << *ch;
  for (const char* ch = c.outside; *ch; ++ch) EXPECT_FALSE(InCharSet(*ch, set)) << *ch;
}

INSTANTIATE_TEST_SUITE_P(Specs, CharSets,
                         testing::Values(CharSetCase{" -~", " A~", "\x7f\x1f"},
                                         CharSetCase{"0-9+-", "05+-9", ",./"},
                                         CharSetCase{"-a", "-a", "b"}, CharSetCase{"a-", "-a", "b"},
                                         CharSetCase{"z-a", "az", "m"},
                                         CharSetCase{"0-9, ", "0, 9", "-"},
                                         CharSetCase{"", "", "a0 "}));

TEST(CharSets, KeyCodesAboveAsciiAreMembersToo) {
  uint16_t set[kCharSetWords];
  BuildCharSet(kFormExits, set);
  EXPECT_TRUE(InCharSet(kKeyDown, set));
  EXPECT_TRUE(InCharSet(kKeyEnter, set));
  EXPECT_FALSE(InCharSet(kKeyLeft, set));
  EXPECT_FALSE(InCharSet(-1, set));
  EXPECT_FALSE(InCharSet(256, set));
}

struct EditCase {
  const char* name;
  const char* start;  // the buffer before the edit
  int width;
  const char* allowed;
  uint32_t flags;
  std::vector<int> keys;
  int ended_by;
  const char* result;
  const char* exits = kFormExits;
};

class LineEditing : public EditorTest, public testing::WithParamInterface<EditCase> {};

TEST_P(LineEditing, EndsWithKeyAndText) {
  const EditCase& c = GetParam();
  char buffer[kImageColumns + 8];
  std::memset(buffer, 'Q', sizeof buffer);
  std::memcpy(buffer, c.start, std::strlen(c.start) + 1);
  for (int key : c.keys) Keys({key});

  EXPECT_EQ(EditLine(buffer, kRow, kColumn, c.width, '.', c.allowed, c.exits, c.flags), c.ended_by);
  EXPECT_STREQ(buffer, c.result);
  // Nothing is written past the width's terminating byte.
  for (size_t i = static_cast<size_t>(c.width) + 1; i < sizeof buffer; ++i) {
    if (i > std::strlen(c.start)) {
      ASSERT_EQ(buffer[i], 'Q') << "byte " << i;
    }
  }
  // The field shows the result, blank-padded, in the image.
  std::string shown(c.result);
  shown.resize(c.width, ' ');
  EXPECT_EQ(ImageText(kRow, kColumn, c.width), shown);
}

constexpr uint32_t kFrom = kEditStartFromText;
const char kAll[] = " -~";

INSTANTIATE_TEST_SUITE_P(
    FlagsAndKeys, LineEditing,
    testing::Values(
        EditCase{"FirstKeyReplaces",
                 "1234",
                 6,
                 "0-9",
                 kFrom | kEditReplaceOnFirstKey,
                 {'7', kKeyEnter},
                 kKeyEnter,
                 "7"},
        EditCase{"RightFirstEditsInstead",
                 "1234",
                 6,
                 "0-9",
                 kFrom | kEditReplaceOnFirstKey,
                 {kKeyRight, '7', kKeyEnter},
                 kKeyEnter,
                 "17234"},
        EditCase{"DroppedKeyKeepsFirstKeyState",
                 "1234",
                 6,
                 "0-9",
                 kFrom | kEditReplaceOnFirstKey,
                 {kKeyF5, '7', kKeyEnter},
                 kKeyEnter,
                 "7"},
        EditCase{"FullTextLeavesAsEnter",
                 "",
                 3,
                 "0-9",
                 kEditLeaveWhenFull,
                 {'1', '2', '3'},
                 kKeyEnter,
                 "123"},
        EditCase{"AllowedExitKeyIsEnteredThenEnds", "", 6, "0-9X", 0, {'1', 'X'}, 'X', "1X", "\rX"},
        EditCase{"RightPastEndPadsWithBlanks",
                 "ab",
                 8,
                 kAll,
                 kFrom,
                 {kKeyRight, kKeyRight, 'c', kKeyEnter},
                 kKeyEnter,
                 "ab  c"},
        EditCase{"RightStopsAtEndWithoutBlank",
                 "12",
                 6,
                 "0-9",
                 kFrom,
                 {kKeyRight, '3', kKeyEnter},
                 kKeyEnter,
                 "123"},
        EditCase{"NoRoomAtTheWidth",
                 "",
                 3,
                 kAll,
                 0,
                 {kKeyRight, kKeyRight, kKeyRight, 'x', kKeyEnter},
                 kKeyEnter,
                 ""},
        EditCase{"WordLeftStopsOnTheBlank",
                 "abc def",
                 10,
                 kAll,
                 kFrom,
                 {kKeyLeft, kKeyWordLeft, 'X', kKeyEnter},
                 kKeyEnter,
                 "abcX def"},
        EditCase{"WordLeftTwiceReachesStart",
                 "abc def",
                 10,
                 kAll,
                 kFrom,
                 {kKeyWordLeft, kKeyWordLeft, 'X', kKeyEnter},
                 kKeyEnter,
                 "Xabc def"},
        EditCase{"WordRightSkipsWordAndGap",
                 "ab  cd",
                 8,
                 kAll,
                 kFrom,
                 {kKeyHome, kKeyWordRight, 'X', kKeyEnter},
                 kKeyEnter,
                 "ab  Xcd"},
        EditCase{"EscapeNotAnExitKeyClears", "hello", 8, kAll, kFrom, {kKeyEscape}, kKeyEscape, ""},
        EditCase{"EscapeAsExitKeyKeepsText",
                 "hello",
                 8,
                 kAll,
                 kFrom,
                 {'!', kKeyEscape},
                 kKeyEscape,
                 "hello!",
                 "\r\x1b"},
        EditCase{"HomeAndEnd",
                 "abc",
                 8,
                 kAll,
                 kFrom,
                 {kKeyHome, 'X', kKeyEnd, 'Y', kKeyEnter},
                 kKeyEnter,
                 "XabcY"},
        EditCase{
            "ClearField", "abc", 8, kAll, kFrom, {kKeyClearField, 'Z', kKeyEnter}, kKeyEnter, "Z"},
        EditCase{"EraseToEnd",
                 "abcdef",
                 8,
                 kAll,
                 kFrom,
                 {kKeyHome, kKeyRight, kKeyRight, kKeyEraseToEnd, kKeyEnter},
                 kKeyEnter,
                 "ab"},
        EditCase{"EraseToStart",
                 "abcdef",
                 8,
                 kAll,
                 kFrom,
                 {kKeyLeft, kKeyLeft, kKeyEraseToStart, kKeyEnter},
                 kKeyEnter,
                 "ef"},
        EditCase{"EraseToStartPastTheEnd",
                 "ab",
                 6,
                 kAll,
                 kFrom,
                 {kKeyRight, kKeyEraseToStart, 'c', kKeyEnter},
                 kKeyEnter,
                 "c"},
        EditCase{
            "Delete", "abc", 8, kAll, kFrom, {kKeyHome, kKeyDelete, kKeyEnter}, kKeyEnter, "bc"},
        EditCase{"Backspace",
                 "abc",
                 8,
                 kAll,
                 kFrom,
                 {kKeyBackspace, kKeyBackspace, kKeyEnter},
                 kKeyEnter,
                 "a"},
        EditCase{"BackspacePastEndOnlyMoves",
                 "ab",
                 6,
                 kAll,
                 kFrom,
                 {kKeyRight, kKeyRight, kKeyBackspace, 'c', kKeyEnter},
                 kKeyEnter,
                 "ab c"},
        EditCase{"InsertIntoFullFieldRefused",
                 "abc",
                 3,
                 kAll,
                 kFrom,
                 {kKeyHome, 'X', kKeyEnter},
                 kKeyEnter,
                 "abc"},
        EditCase{"OvertypeFlag",
                 "abc",
                 3,
                 kAll,
                 kFrom | kEditOvertype,
                 {kKeyHome, 'X', kKeyEnter},
                 kKeyEnter,
                 "Xbc"},
        EditCase{"InsertKeyTogglesToOvertype",
                 "abc",
                 4,
                 kAll,
                 kFrom,
                 {kKeyInsertToggle, kKeyHome, 'X', kKeyInsertToggle, 'Y', kKeyEnter},
                 kKeyEnter,
                 "XYbc"},
        EditCase{"Capitals", "", 2, "A-Z", kEditCapitals, {'n', 'y', kKeyEnter}, kKeyEnter, "NY"},
        EditCase{"RejectedKeyDropped", "", 4, "0-9", 0, {'a', '1', kKeyEnter}, kKeyEnter, "1"},
        EditCase{"PadLeft", "ab", 6, kAll, kFrom | kEditPad, {kKeyEnter}, kKeyEnter, "ab    "},
        EditCase{"PadRight",
                 "ab",
                 6,
                 kAll,
                 kFrom | kEditPad | kEditRightAlign,
                 {kKeyEnter},
                 kKeyEnter,
                 "    ab"},
        EditCase{"PadCentreRoundsDown",
                 "ab",
                 7,
                 kAll,
                 kFrom | kEditPad | kEditCentre,
                 {kKeyEnter},
                 kKeyEnter,
                 "  ab   "},
        EditCase{"CentreWinsOverRight",
                 "ab",
                 7,
                 kAll,
                 kFrom | kEditPad | kEditCentre | kEditRightAlign,
                 {kKeyEnter},
                 kKeyEnter,
                 "  ab   "},
        EditCase{"NoStartingTextWithoutFlag", "junk", 6, kAll, 0, {kKeyEnter}, kKeyEnter, ""},
        EditCase{
            "StartingTextCutAtWidth", "abcdefgh", 4, kAll, kFrom, {kKeyDown}, kKeyDown, "abcd"}),
    [](const testing::TestParamInfo<EditCase>& info) { return std::string(info.param.name); });

class LineEditor : public EditorTest {};

TEST_F(LineEditor, RejectedKeysBeepUnlessQuietButFullInsertAlwaysBeeps) {
  char buffer[8] = "";
  Text("a1\r");
  EditLine(buffer, kRow, kColumn, 4, '.', "0-9", kFormExits, 0);
  EXPECT_EQ(terminal_.Bells(), 1);

  Text("a1\r");
  EditLine(buffer, kRow, kColumn, 4, '.', "0-9", kFormExits, kEditQuiet);
  EXPECT_EQ(terminal_.Bells(), 1);

  std::strcpy(buffer, "1234");
  Keys({kKeyHome, '5', kKeyEnter});
  EditLine(buffer, kRow, kColumn, 4, '.', "0-9", kFormExits, kFrom | kEditQuiet);
  EXPECT_EQ(terminal_.Bells(), 2);
  EXPECT_STREQ(buffer, "1234");
}

TEST_F(LineEditor, OvertypeFlagLastsForOneEdit) {
  char buffer[8] = "abc";
  Keys({kKeyHome, 'X', kKeyEnter});
  EditLine(buffer, kRow, kColumn, 4, '.', kAll, kFormExits, kFrom | kEditOvertype);
  EXPECT_EQ(InsertMode(), 1);
  Keys({kKeyHome, 'Y', kKeyEnter});
  EditLine(buffer, kRow, kColumn, 4, '.', kAll, kFormExits, kFrom);
  EXPECT_STREQ(buffer, "YXbc");
}

TEST_F(LineEditor, FillCharactersShowWhileEditingAndBlanksAfter) {
  char buffer[8] = "12";
  bool checked = false;
  AddHotKey(kKeyF2, [&](int, int32_t position) {
    EXPECT_EQ(position, 3);  // the cursor, 0-based within the field
    EXPECT_EQ(terminal_.RowText(kRow - 1).substr(kColumn - 1, 6), "123...");
    checked = true;
    return 0;
  });
  Keys({'3', kKeyF2, kKeyEnter});
  EXPECT_EQ(EditLine(buffer, kRow, kColumn, 6, '.', "0-9", kFormExits, kFrom), kKeyEnter);
  EXPECT_TRUE(checked);
  EXPECT_STREQ(buffer, "123");  // the hot key was neither entered nor refused
  EXPECT_EQ(terminal_.Bells(), 0);
  EXPECT_EQ(terminal_.RowText(kRow - 1).substr(kColumn - 1, 6), "123   ");
  EXPECT_EQ(ImageText(kRow, kColumn, 6), "123   ");
  EXPECT_FALSE(terminal_.CursorVisible());
}

TEST_F(LineEditor, MaskedTextNeverReachesTheScreen) {
  char buffer[8] = "";
  Text("pw\r");
  EditLine(buffer, kRow, kColumn, 6, '*', kAll, kFormExits, kEditMasked);
  EXPECT_STREQ(buffer, "pw");
  EXPECT_FALSE(TerminalShowed("pw"));
  EXPECT_EQ(ImageText(kRow, kColumn, 6), "**    ");
  RepaintScreen();
  EXPECT_FALSE(TerminalShowed("pw"));
}

TEST_F(LineEditor, AttributeCodeColoursTheField) {
  char buffer[8] = "ab";
  Keys({kKeyEnter});
  EditLine(buffer, kRow, kColumn, 4, '.', kAll, kFormExits, kFrom | kInverse);
  for (int column = kColumn; column < kColumn + 4; ++column) {
    EXPECT_EQ(ImageCode(kRow, column), kInverse);
  }
}

}  // namespace
}  // namespace console
