// Menus: a bar of titles, a framed pull-down of items, and a menu bar with a
// pull-down under each title. Each title or item has a hot letter, its first
// capital letter, which chooses it when typed in either case.
#pragma once

namespace console {

// titles: texts ended by a null pointer (at least two for a bar). Returns
// the title number (1-based) chosen with Enter or its hot letter, minus the
// number when Ctrl-Enter was read, 0 for Escape or F1.
int BarMenu(const char* const* titles, int row, int initial);
// items: texts ended by a null pointer; row and column of the frame. Returns
// the item number (1-based), 0 for Escape or F1. With cascade set, Left and
// Right leave the pull-down for the neighbouring one of a RunMenu.
int PopupMenu(const char* const* items, int row, int column, int initial, int cascade);
// definition: groups of a title, its items and a null pointer, ended by one
// more null pointer. Returns title x 100 + item, title x 100 for a title
// without items, 0 when the user left the bar. initial has the same form.
int RunMenu(const char* const* definition, int row, int initial);

}  // namespace console
