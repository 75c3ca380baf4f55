// The Gateway command language, line by line.
#include "kxtsim/gateway_slave.h"

#include <gtest/gtest.h>

#include <string>

namespace kxtsim {
namespace {

struct Fixture {
  explicit Fixture(ReplyFaultOptions fault_options = {})
      : model(ModuleOptions{}, [] { return uint64_t{0}; }),
        faults(fault_options),
        slave(model, faults) {}
  std::string Exchange(const std::string& text) {
    for (char c : text) slave.Receive(static_cast<uint8_t>(c), 0);
    std::string out;
    uint8_t byte;
    while (slave.NextByte(0, byte)) out.push_back(static_cast<char>(byte));
    return out;
  }
  ModuleModel model;
  ReplyFaults faults;
  GatewaySlave slave;
};

TEST(GatewaySlave, CommandsAndReplies) {
  Fixture f;
  struct Step {
    const char* command;
    const char* reply;
  } steps[] = {
      {"R 100 2\r", "ERROR 29\r"},  // no route announced yet
      {"A 3 14\r", "\r"},
      {"W 100 40000 7\r", "\r"},
      {"R 100 2\r", "40000 7\r"},
      {"R 8188 1\r", "39312\r"},    // 0x9990
      {"r 101 1\r", "7\r"},         // lower-case command letter
      {"R 8191 3\r", "ERROR 3\r"},  // reaches the status portion
      {"W 8191 1 2 3\r", "ERROR 3\r"},
      {"R 8190 3\r", "4 6 8\r"},  // status locations of channels 2..4
      {"R 1 0\r", "ERROR 16\r"},
      {"R 1 129\r", "ERROR 16\r"},
      {"W 100 65536\r", "ERROR 70\r"},
      {"R 100\r", "ERROR 70\r"},
      {"X 1\r", "ERROR 1\r"},
      {"A 256\r", "ERROR 29\r"},
      {"A 1 2 3 4 5 6 7 8 9\r", "ERROR 29\r"},
      {"\n\r", ""},  // empty lines are not answered
  };
  for (const Step& step : steps) EXPECT_EQ(f.Exchange(step.command), step.reply) << step.command;
}

TEST(GatewaySlave, BitSevenClearedAndOverlongLineRefused) {
  Fixture f;
  EXPECT_EQ(f.Exchange("\xC1 1\r"), "\r") << "0xC1 is 'A' with bit 7 set";
  EXPECT_EQ(f.Exchange("R 1 1" + std::string(1100, ' ') + "\r"), "ERROR 70\r");
  EXPECT_EQ(f.Exchange("R 8176 1\r"), "32769\r") << "the next line is read whole again";
}

// A full write of 128 five-digit values is far longer than a reply line.
TEST(GatewaySlave, LongestWriteCommandIsServed) {
  Fixture f;
  std::string command = "W 100";
  for (int i = 0; i < 128; ++i) command += " 65535";
  EXPECT_EQ(f.Exchange("A 1\r"), "\r");
  EXPECT_EQ(f.Exchange(command + "\r"), "\r");
  EXPECT_EQ(f.Exchange("R 227 1\r"), "65535\r");
}

TEST(GatewaySlave, Faults) {
  Fixture f(ReplyFaultOptions{.error_status = 7, .error_every = 2, .drop_every = 3});
  EXPECT_EQ(f.Exchange("A 1\r"), "\r");
  EXPECT_EQ(f.Exchange("R 1 1\r"), "0\r");
  EXPECT_EQ(f.Exchange("R 1 1\r"), "") << "the third line's reply is dropped";
  EXPECT_EQ(f.Exchange("R 1 1\r"), "0\r");
  EXPECT_EQ(f.Exchange("R 1 1\r"), "ERROR 7\r") << "every second read or write";
}

}  // namespace
}  // namespace kxtsim
