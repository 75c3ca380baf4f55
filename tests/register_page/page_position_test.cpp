// The page moves both register pages share, as a table: start position,
// rules, keys, and where the page and the cursor end.
#include "register_page/page_position.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "register_page/number_forms.h"

namespace registerpage {
namespace {

enum Move { kDown, kUp, kPageDown, kPageUp, kHome };

struct MoveCase {
  const char* name;
  int32_t first;
  int cursor_row;
  int count;
  PageRules rules;
  std::vector<Move> moves;
  int32_t expected_first;
  int expected_cursor_row;
};

const PageRules kEditor{65535, 4};  // quillet: a page of 3 scrolls by one
const PageRules kViewer{8192, 3};   // kxtdev: only pages of 1 and 2 scroll by one

TEST(PagePosition, MovesAndHoldingThePageInRange) {
  const MoveCase cases[] = {
      {"down on the last of 20 scrolls by 3", 1, 24, 20, kEditor, {kDown}, 4, 22},
      {"down inside the page", 1, 5, 20, kEditor, {kDown}, 1, 6},
      {"editor page of 3 scrolls by 1", 100, 7, 3, kEditor, {kDown}, 101, 7},
      {"viewer page of 3 scrolls by 3", 100, 7, 3, kViewer, {kDown}, 103, 5},
      {"viewer page of 2 scrolls by 1", 100, 6, 2, kViewer, {kDown}, 101, 6},
      {"screen size 1: down moves by one", 100, 5, 1, kViewer, {kDown, kDown}, 102, 5},
      {"screen size 1: up moves by one", 100, 5, 1, kViewer, {kUp}, 99, 5},
      {"up on the top row scrolls back by 3", 50, 5, 20, kEditor, {kUp}, 47, 7},
      {"up near register 1 acts as home", 3, 5, 20, kEditor, {kUp}, 1, 5},
      {"up from register 1 stays", 1, 5, 20, kViewer, {kUp}, 1, 5},
      {"page step 10 for 20", 100, 9, 20, kEditor, {kPageDown}, 110, 9},
      {"page step 3 for 5", 100, 5, 5, kEditor, {kPageDown}, 103, 5},
      {"page step 1 for 1", 100, 5, 1, kEditor, {kPageUp}, 99, 5},
      {"page up below 1 starts at 1", 4, 8, 20, kViewer, {kPageUp}, 1, 8},
      // The page ends at 8192; the cursor stays on the register paged to.
      {"page down near the top is held", 8170, 5, 20, kViewer, {kPageDown}, 8173, 12},
      {"held cursor stays within the page", 8170, 20, 20, kViewer, {kPageDown}, 8173, 24},
      {"down past the highest register", 8173, 24, 20, kViewer, {kDown}, 8173, 24},
      {"home", 500, 12, 20, kViewer, {kHome}, 77, 5},
  };
  for (const MoveCase& c : cases) {
    SCOPED_TRACE(c.name);
    PagePosition page;
    page.first = c.first;
    page.cursor_row = c.cursor_row;
    page.count = c.count;
    for (Move move : c.moves) {
      switch (move) {
        case kDown:
          MoveDown(page, c.rules);
          break;
        case kUp:
          MoveUp(page, c.rules);
          break;
        case kPageDown:
          MovePageDown(page);
          break;
        case kPageUp:
          MovePageUp(page);
          break;
        case kHome:
          MoveHome(page, 77);
          break;
      }
      HoldPageInRange(page, c.rules);
    }
    EXPECT_EQ(page.first, c.expected_first);
    EXPECT_EQ(page.cursor_row, c.expected_cursor_row);
  }
}

TEST(PagePosition, TypedRegisterNumberMovesThePageUnderTheCursor) {
  struct Case {
    int32_t first;
    int cursor_row;
    int64_t entered;
    int32_t expected_first;
    int expected_cursor_row;
  };
  const Case cases[] = {
      {1, 7, 500, 498, 7},        // row 7 now shows 500
      {100, 5, 0, 1, 5},          // below 1: held at 1
      {100, 10, 8190, 8173, 22},  // the page ends at 8192, the cursor on 8190
      {100, 5, 9000, 8173, 24},   // past 8192: the cursor on 8192
      {1, 5, 99999999999, 8173, 24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entered);
    PagePosition page;
    page.first = c.first;
    page.cursor_row = c.cursor_row;
    ShowRegisterOnCursorRow(page, kViewer, c.entered);
    HoldPageInRange(page, kViewer);
    EXPECT_EQ(page.first, c.expected_first);
    EXPECT_EQ(page.cursor_row, c.expected_cursor_row);
  }
}

TEST(NumberForms, EditTextsAndTheirValues) {
  struct Case {
    Cell cell;
    uint16_t value;
    const char* start_text;
    const char* typed;
    uint16_t parsed;
  };
  const Case cases[] = {
      {kHexCell, 0x00AB, "00AB", "FFFF", 0xFFFF},
      {kUnsignedCell, 65535, "65535", "70000", 4464},  // low 16 bits
      {kSignedCell, 0xFFFF, "65535", "-5", 0xFFFB},    // 65535, not -1
      {kBinaryCell, 0x8421, "1000 0100 0010 0001", "0000 0000 1111 1111", 0x00FF},
      {kBinaryCell, 0, "0000 0000 0000 0000", "1 1", 3},  // blanks skipped
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start_text);
    CellEdit edit = ValueEdit(c.cell, c.value);
    EXPECT_STREQ(edit.text, c.start_text);
    EXPECT_EQ(ParseValue(c.cell, c.typed), c.parsed);
  }
  EXPECT_EQ(ValueEdit(kBinaryCell, 0).width, 19);
  EXPECT_STREQ(RegisterNumberEdit(0x12345, true).text, "2345");
  EXPECT_EQ(ParseRegisterNumber("1FFFF", true), 0xFFFF);
  EXPECT_EQ(ParseRegisterNumber("8192", false), 8192);
}

}  // namespace
}  // namespace registerpage
