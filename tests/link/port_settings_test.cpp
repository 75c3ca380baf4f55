// ParsePortSettings, SetPortMode's refusals and the read interval time-out.
// The line settings that reach a port are checked over a pseudo-terminal in
// serial_port_threaded_test.cpp.
#include <gtest/gtest.h>

#include <string>

#include "link/link.h"
#include "link/link_handle.h"
#include "link/serial_port.h"

namespace linklib {
namespace {

// A valid Sy/Max handle without a port: SetPortMode then only changes the
// reply time-out, which shows whether the settings were applied.
class PortSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = AllocateHandle();
    ASSERT_NE(handle_, nullptr);
    handle_->mark = kHandleMark;
    handle_->kind = kKindSymax;
    handle_->reply_timeout = 7;
  }
  void TearDown() override { FreeHandle(handle_); }

  LinkHandle* handle_ = nullptr;
};

TEST_F(PortSettingsTest, SettingsTextIsCheckedAndItsFaultsPrinted) {
  struct Case {
    const char* text;
    int result;
    const char* printed;
  };
  const Case cases[] = {
      {"9600,E,8,1", 1, ""},
      {"9600,e,8,1", 1, ""},
      {" 19200,n,7,2", 1, ""},
      {"50,M,8,1", 1, ""},
      {"57600,s,8,1", 1, ""},
      {"300,O,8,1", 1, ""},
      {"9600,X,8,1", 0, "Bad port settings: \"9600,X,8,1\" Invalid parity\n"},
      {"9600, E,8,1", 0, "Bad port settings: \"9600, E,8,1\" (2)\n"},  // the blank is the letter
      {"57601,E,8,1", 0, "Bad port settings: \"57601,E,8,1\" Invalid baud rate\n"},
      {"49,E,8,1", 0, "Bad port settings: \"49,E,8,1\" Invalid baud rate\n"},
      {"-1,E,8,1", 0, "Bad port settings: \"-1,E,8,1\" Invalid baud rate\n"},
      {"99999999999999999999,E,8,1", 0,
       "Bad port settings: \"99999999999999999999,E,8,1\" Invalid baud rate\n"},
      {"9600,E,8", 0, "Bad port settings: \"9600,E,8\" (3)\n"},
      {"9600,E", 0, "Bad port settings: \"9600,E\" (2)\n"},
      {"9600,", 0, "Bad port settings: \"9600,\" (1)\n"},
      {"9600 E 8 1", 0, "Bad port settings: \"9600 E 8 1\" (1)\n"},
      {"", 0, "Bad port settings: \"\" (0)\n"},
      {"fast", 0, "Bad port settings: \"fast\" (0)\n"},
  };
  for (const Case& c : cases) {
    handle_->reply_timeout = 7;
    testing::internal::CaptureStdout();
    int result = ParsePortSettings(c.text, handle_);
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(result, c.result) << c.text;
    EXPECT_EQ(printed, c.printed) << c.text;
    // Applied settings bring the reply time-out of 500; refused ones leave it.
    EXPECT_EQ(handle_->reply_timeout, c.result ? 500 : 7) << c.text;
  }
}

TEST_F(PortSettingsTest, SetPortModeRefusesWhatItCannotApply) {
  EXPECT_EQ(SetPortMode(handle_, 0, 1, 1, 100, 8), 0);
  EXPECT_EQ(handle_->reply_timeout, 7);
  EXPECT_STREQ(LinkMessage(handle_), "Invalid baud rate");

  LinkHandle stranger;  // never opened: its mark is not valid
  EXPECT_EQ(SetPortMode(&stranger, 9600, 1, 1, 100, 8), 0);
  EXPECT_EQ(SetPortMode8(nullptr, 9600, 1, 1, 100), 0);
  testing::internal::CaptureStdout();
  EXPECT_EQ(ParsePortSettings("9600,E,8,1", nullptr), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(PortSettingsTest, EveryKindTakesTheReplyTimeout) {
  for (uint32_t kind :
       {kKindSymax, kKindGateway, kKindModbusRtu, kKindModbusAscii, kKindModbusTcp}) {
    handle_->kind = kind;
    EXPECT_EQ(SetPortMode8(handle_, 19200, 0, 1, 40 + kind), 1);
    EXPECT_EQ(handle_->reply_timeout, 40 + kind);
  }
}

TEST(ReadInterval, FollowsTheBaudRate) {
  struct Case {
    uint32_t baud;
    uint32_t milliseconds;
  };
  for (Case c : {Case{9600, 20}, Case{19200, 12}, Case{1200, 132}, Case{300, 517}, Case{57600, 6},
                 Case{50, 3083}, Case{115200, 5}, Case{0, 0}})
    EXPECT_EQ(ReadIntervalTimeout(c.baud), c.milliseconds) << c.baud;
}

}  // namespace
}  // namespace linklib
