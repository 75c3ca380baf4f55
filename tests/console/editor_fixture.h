// A screen on the in-memory console with keys scripted as a terminal sends
// them, for the field editor's tests.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "console/memory_console.h"
#include "console/screen.h"

namespace console {

class EditorTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(InitScreenOn(terminal_)); }
  void TearDown() override {
    EXPECT_TRUE(terminal_.ScriptDone()) << "keys left unread";
    CloseScreen();
  }

  // Key codes and plain text, in the order given. A lone Escape is told
  // from a sequence by a pause, which is scripted only when more keys follow
  // (so that a script ending in Escape is read to its end).
  void Keys(std::initializer_list<int> keys) {
    for (int key : keys) {
      if (escape_pending_) terminal_.Gap(1000);
      escape_pending_ = key == kKeyEscape;
      if (escape_pending_) {
        terminal_.Type("\x1b");
      } else {
        terminal_.TypeKeys({key});
      }
    }
  }
  void Text(const std::string& text) {
    for (char c : text) Keys({static_cast<unsigned char>(c)});
  }

  // Columns from..from + width - 1 (1-based) of a row of the screen image.
  static std::string ImageText(int row, int column, int width) {
    return ImageRowText(row).substr(column - 1, width);
  }
  bool TerminalShowed(const std::string& text) const {
    for (const auto& write : terminal_.Writes()) {
      if (write.characters.find(text) != std::string::npos) return true;
    }
    return false;
  }

  MemoryConsole terminal_;
  bool escape_pending_ = false;
};

}  // namespace console
