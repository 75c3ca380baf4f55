// The download screen's fields: the channel check and its status register
// rule, the status register check, Auto Start, and Escape.
#include "kxtdev/download_fields.h"

#include <gtest/gtest.h>

#include "console/memory_console.h"
#include "console/screen.h"

namespace kxtdev {
namespace {

using namespace console;

struct Values {
  uint32_t channel;
  uint32_t last_channel;
  uint32_t status;
  uint16_t auto_start;
  bool operator==(const Values&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Values& v) {
  return out << "{" << v.channel << ", " << v.last_channel << ", " << v.status << ", "
             << v.auto_start << "}";
}

class DownloadFieldsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitScreenOn(terminal));
    session.setup = StandardDefaultSetup();
    session.setup.trap_errors = kChoiceYes;
  }
  void TearDown() override { CloseScreen(); }

  // Bytes as typed; "F10", "UP", "DOWN" and "ESC" stand for those keys.
  void Play(const std::vector<std::string>& steps) {
    for (const std::string& step : steps) {
      if (step == "F10")
        terminal.TypeKeys({kKeyF10});
      else if (step == "UP")
        terminal.TypeKeys({kKeyUp});
      else if (step == "DOWN")
        terminal.TypeKeys({kKeyDown});
      else if (step == "ESC")
        terminal.TypeKeys({kKeyEscape});
      else
        terminal.Type(step);
    }
  }

  bool Written(const std::string& text) const {
    for (const auto& write : terminal.Writes())
      if (write.characters.find(text) != std::string::npos) return true;
    return false;
  }

  Values Current() const {
    return {session.download_channel, session.last_download_channel,
            session.download_status_register, session.download_auto_start};
  }
  void Set(const Values& v) {
    session.download_channel = v.channel;
    session.last_download_channel = v.last_channel;
    session.download_status_register = v.status;
    session.download_auto_start = v.auto_start;
  }

  MemoryConsole terminal;
  Session session;
};

TEST_F(DownloadFieldsTest, ChecksAndTheStatusRegisterRule) {
  struct Case {
    const char* what;
    Values start;
    std::vector<std::string> steps;
    Values end;
    bool accepted;
    const char* message;  // an error shown on the way, or null
  };
  const Case cases[] = {
      {"the start values accepted", {1, 1, 2, 0}, {"\r\r\r"}, {1, 1, 2, 0}, true, nullptr},
      {"channel 3 moves the status register",
       {1, 1, 2, 0},
       {"3\r\r\r"},
       {3, 3, 6, 0},
       true,
       nullptr},
      {"and channel 1 brings it back", {3, 3, 6, 0}, {"1\r\r\r"}, {1, 1, 2, 0}, true, nullptr},
      {"a typed register gives way to a new channel",
       {3, 3, 6, 0},
       {"\r50\r", "UP", "UP", "1\r\r\r"},
       {1, 1, 2, 0},
       true,
       nullptr},
      {"a typed register stays on the same channel",
       {1, 1, 2, 0},
       {"1\r100\r\r"},
       {1, 1, 100, 0},
       true,
       nullptr},
      {"channel 0 is refused until a good one",
       {1, 1, 2, 0},
       {"0\r", "F10", "2\r\r\r"},
       {2, 2, 4, 0},
       true,
       "Invalid channel 0. Must be 1..4."},
      {"channel 5 left with Down keeps the last good channel",
       {3, 3, 100, 0},
       {"5", "DOWN", "F10", "\r\r"},
       {3, 3, 100, 0},
       true,
       "Invalid channel 5. Must be 1..4."},
      {"status registers 1 and 2048 are refused",
       {1, 1, 2, 0},
       {"\r1\r", "F10", "2048\r", "F10", "2047\r\r"},
       {1, 1, 2047, 0},
       true,
       "Status window must be 2 through 2047"},
      {"a refused register left with Up keeps the last good one",
       {1, 1, 300, 0},
       {"\r9999", "UP", "F10", "\r\r\r"},
       {1, 1, 300, 0},
       true,
       "Status window must be 2 through 2047"},
      {"Auto Start chosen with Y", {2, 2, 4, 0}, {"\r\rY\r"}, {2, 2, 4, 1}, true, nullptr},
      {"Up on the channel field ends the form", {1, 1, 2, 0}, {"UP"}, {1, 1, 2, 0}, true, nullptr},
      {"Escape cancels", {2, 2, 4, 1}, {"\r", "ESC"}, {2, 2, 4, 1}, false, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CloseScreen();
    terminal = MemoryConsole();
    ASSERT_TRUE(InitScreenOn(terminal));
    Set(c.start);
    Play(c.steps);
    EXPECT_EQ(EditDownloadFields(session), c.accepted);
    EXPECT_TRUE(terminal.ScriptDone());
    EXPECT_EQ(Current(), c.end);
    if (c.message) {
      EXPECT_TRUE(Written(c.message));
    }
  }
}

TEST_F(DownloadFieldsTest, LabelsAndValuesInTheirPlaces) {
  Set({2, 2, 4, 1});
  terminal.TypeKeys({kKeyEscape});
  EditDownloadFields(session);
  EXPECT_EQ(ImageRowText(11).substr(22, 17), "Module Channel 2 ");
  EXPECT_EQ(ImageRowText(12).substr(21, 20), "Status register 4   ");
  EXPECT_EQ(ImageRowText(13).substr(26, 15), "Auto Start YES ");
}

TEST(StatusRegisterValueTest, TheLowSixteenBitsAsASignedValue) {
  EXPECT_EQ(StatusRegisterValue(2), 2);
  EXPECT_EQ(StatusRegisterValue(65538), 2);
  EXPECT_EQ(StatusRegisterValue(0xFFFF), -1);
}

}  // namespace
}  // namespace kxtdev
