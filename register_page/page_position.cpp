#include "register_page/page_position.h"

#include "console/screen.h"

namespace registerpage {

int PageStep(int count) { return (count + 1) / 2; }

namespace {
int ScrollRows(const PagePosition& page, const PageRules& rules) {
  return page.count >= rules.scroll_by_three_from ? 3 : 1;
}
}  // namespace

void MoveDown(PagePosition& page, const PageRules& rules) {
  if (++page.cursor_row > page.LastRow()) {
    int scroll = ScrollRows(page, rules);
    page.cursor_row -= scroll;
    page.first += scroll;
  }
}

void MoveUp(PagePosition& page, const PageRules& rules) {
  if (--page.cursor_row < kFirstDataRow) {
    int scroll = ScrollRows(page, rules);
    page.cursor_row += scroll;
    page.first -= scroll;
    if (page.first < 1) MoveHome(page, 1);
  }
}

void MovePageDown(PagePosition& page) { page.first += PageStep(page.count); }
void MovePageUp(PagePosition& page) { page.first -= PageStep(page.count); }

void MoveHome(PagePosition& page, int32_t first) {
  page.first = first;
  page.cursor_row = kFirstDataRow;
}

void ShowRegisterOnCursorRow(PagePosition& page, const PageRules& rules, int64_t entered) {
  int64_t first = static_cast<int64_t>(page.first) + entered - page.CursorRegister();
  int64_t highest = rules.highest;
  page.first = static_cast<int32_t>(first < 1 ? 1 : first > highest ? highest : first);
}

void HoldPageInRange(PagePosition& page, const PageRules& rules) {
  if (page.first < 1) {
    page.first = 1;
  } else if (page.first + page.count - 1 > rules.highest) {
    int32_t top = rules.highest - page.count + 1;
    page.cursor_row += page.first - top;
    page.first = top;
    if (page.cursor_row < kFirstDataRow) page.cursor_row = kFirstDataRow;
    if (page.cursor_row > page.LastRow()) page.cursor_row = page.LastRow();
  }
}

bool MoveByKey(PagePosition& page, const PageRules& rules, int key, int& selected_column,
               int last_column, int32_t home_register) {
  switch (key) {
    case console::kKeyDown:
      MoveDown(page, rules);
      return true;
    case console::kKeyUp:
      MoveUp(page, rules);
      return true;
    case console::kKeyLeft:
      if (selected_column > 1) --selected_column;
      return true;
    case console::kKeyRight:
      if (selected_column < last_column) ++selected_column;
      return true;
    case console::kKeyPageDown:
      MovePageDown(page);
      return true;
    case console::kKeyPageUp:
      MovePageUp(page);
      return true;
    case console::kKeyHome:
      MoveHome(page, home_register);
      return true;
    default:
      return false;
  }
}

}  // namespace registerpage
