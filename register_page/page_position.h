// Where a register page stands: the register on its first data row, the
// cursor row, and the moves of the navigation keys. Both register pages
// (quillet's editor and kxtdev's viewer) move the same way; the few points
// where they differ are rules given by each program.
#pragma once

#include <cstdint>

namespace registerpage {

constexpr int kFirstDataRow = 5;
constexpr int kMaximumRegisterCount = 20;

struct PageRules {
  int32_t highest = 8192;        // last register a page may show
  int scroll_by_three_from = 4;  // smallest count whose page scrolls by 3 rows, else by 1
};

struct PagePosition {
  int32_t first = 1;                  // register on the first data row
  int cursor_row = kFirstDataRow;     // kFirstDataRow .. LastRow()
  int count = kMaximumRegisterCount;  // 1 .. 20 data rows

  int LastRow() const { return kFirstDataRow + count - 1; }
  int32_t RegisterOnRow(int row) const { return first + row - kFirstDataRow; }
  int32_t CursorRegister() const { return RegisterOnRow(cursor_row); }
  int Index(int row) const { return row - kFirstDataRow; }
};

// Half the count, rounded up.
int PageStep(int count);

// Down: one row down; past the last data row the page scrolls.
void MoveDown(PagePosition& page, const PageRules& rules);
// Up: one row up; above the first data row the page scrolls back, and a page
// that would start below register 1 starts at 1 with the cursor on its top row.
void MoveUp(PagePosition& page, const PageRules& rules);
void MovePageDown(PagePosition& page);
void MovePageUp(PagePosition& page);
// First register = first, cursor on the top row.
void MoveHome(PagePosition& page, int32_t first);
// The register-number edit: the page moves so that the cursor row shows the
// entered register; the first register is then held from 1 to highest.
void ShowRegisterOnCursorRow(PagePosition& page, const PageRules& rules, int64_t entered);
// The navigation keys shared by both pages: Down, Up, Page Down, Page Up,
// Home (to home_register), and Left and Right moving the selected column
// within 1..last_column. False for any other key, which the page handles itself.
bool MoveByKey(PagePosition& page, const PageRules& rules, int key, int& selected_column,
               int last_column, int32_t home_register);
// After every key: a page below 1 starts at 1 (cursor unchanged); a page past
// highest ends at highest, the cursor kept on its register where it can.
void HoldPageInRange(PagePosition& page, const PageRules& rules);

}  // namespace registerpage
