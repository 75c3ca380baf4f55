// The Modbus RTU and ASCII slaves fed byte by byte, byte-exact.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kxtsim/modbus_ascii_slave.h"
#include "kxtsim/modbus_rtu_slave.h"

namespace kxtsim {
namespace {

using Bytes = std::vector<uint8_t>;

template <typename Slave>
struct Fixture {
  explicit Fixture(ReplyFaultOptions fault_options = {})
      : model(ModuleOptions{}, [] { return uint64_t{0}; }),
        faults(fault_options),
        slave(model, faults, 1) {}
  void Feed(const Bytes& bytes, uint64_t now_ms = 0) {
    for (uint8_t b : bytes) slave.Receive(b, now_ms);
  }
  void FeedText(const std::string& text) { Feed(Bytes(text.begin(), text.end())); }
  Bytes Drain(uint64_t now_ms = 0) {
    Bytes out;
    uint8_t byte;
    while (slave.NextByte(now_ms, byte)) out.push_back(byte);
    return out;
  }
  std::string DrainText() {
    Bytes out = Drain();
    return std::string(out.begin(), out.end());
  }
  ModuleModel model;
  ReplyFaults faults;
  Slave slave;
};

using Rtu = Fixture<ModbusRtuSlave>;
using Ascii = Fixture<ModbusAsciiSlave>;

struct RtuCase {
  const char* what;
  Bytes request;
  Bytes reply;  // empty: no reply
};

class RtuVectors : public ::testing::TestWithParam<RtuCase> {};

TEST_P(RtuVectors, AnsweredAtTheEndOfTheFrame) {
  Rtu f;
  f.Feed(GetParam().request);
  f.slave.LineQuiet(0);
  EXPECT_EQ(f.Drain(), GetParam().reply) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RtuVectors,
    ::testing::Values(
        RtuCase{"read 8188, CRC low byte first",
                {0x01, 0x03, 0x1F, 0xFB, 0x00, 0x01, 0xF2, 0x2F},
                {0x01, 0x03, 0x02, 0x99, 0x90, 0xD2, 0x78}},
        RtuCase{"write 10 and 11 (40000)",
                {0x01, 0x10, 0x00, 0x09, 0x00, 0x02, 0x04, 0x00, 0x01, 0x9C, 0x40, 0x0A, 0xF5},
                {0x01, 0x10, 0x00, 0x09, 0x00, 0x02, 0x91, 0xCA}},
        RtuCase{"another slave's address", {0x02, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x39}, {}},
        RtuCase{"bad CRC", {0x01, 0x03, 0x1F, 0xFB, 0x00, 0x01, 0xF2, 0x2E}, {}},
        RtuCase{"too short", {0x01, 0x03, 0x1F}, {}}));

TEST(ModbusRtuSlave, KnownRequestEndsWithoutWaitingForTheGap) {
  Rtu f;
  f.Feed({0x01, 0x03, 0x1F, 0xFB, 0x00, 0x01, 0xF2});
  EXPECT_TRUE(f.Drain().empty());
  f.Feed({0x2F});
  EXPECT_EQ(f.Drain(), (Bytes{0x01, 0x03, 0x02, 0x99, 0x90, 0xD2, 0x78}));
}

TEST(ModbusRtuSlave, ExceptionRepliesAndFaults) {
  {
    Rtu f;
    // Read of 2 registers from 65535.
    f.Feed({0x01, 0x03, 0xFF, 0xFE, 0x00, 0x02, 0x95, 0xEF});
    f.slave.LineQuiet(0);
    Bytes reply = f.Drain();
    EXPECT_EQ(reply, (Bytes{0x01, 0x83, 0x02, 0xC0, 0xF1}));
  }
  {
    Rtu f(ReplyFaultOptions{.corrupt_every = 1});
    f.Feed({0x01, 0x03, 0x1F, 0xFB, 0x00, 0x01, 0xF2, 0x2F});
    Bytes reply = f.Drain();
    ASSERT_EQ(reply.size(), 7u);
    EXPECT_NE(Bytes(reply.begin() + 5, reply.end()), (Bytes{0xD2, 0x78}));
  }
  {
    Rtu f(ReplyFaultOptions{.delay_ms = 40});
    f.Feed({0x01, 0x03, 0x1F, 0xFB, 0x00, 0x01, 0xF2, 0x2F}, 100);
    EXPECT_TRUE(f.Drain(139).empty());
    EXPECT_EQ(f.slave.NextOutputTime(), 140u);
    EXPECT_EQ(f.Drain(140).size(), 7u);
  }
}

TEST(ModbusAsciiSlave, FramesWithLrcAndCrLf) {
  Ascii f;
  f.FeedText(std::string(":01031FFB0001E1\r\n"));
  EXPECT_EQ(f.DrainText(), ":0103029990D1\r\n");
  // Lower-case digits are read as well.
  f.FeedText(std::string(":01031ffb0001e1\r\n"));
  EXPECT_EQ(f.DrainText(), ":0103029990D1\r\n");
  // Bad LRC, odd digit count, a stray character, another slave: no reply.
  for (const char* bad : {":01031FFB0001E2\r\n", ":01031FFB0001E\r\n", ":01031FXB0001E1\r\n",
                          ":02031FFB0001E0\r\n"}) {
    f.FeedText(std::string(bad));
    EXPECT_EQ(f.DrainText(), "") << bad;
  }
  // Noise before the colon is ignored; a new colon restarts the frame.
  f.FeedText(std::string("xx:0103:01031FFB0001E1\r\n"));
  EXPECT_EQ(f.DrainText(), ":0103029990D1\r\n");
}

TEST(ModbusAsciiSlave, FileRecordWriteIsEchoed) {
  Ascii f;
  // Write file 2, record 5, one word 0x1234.
  Bytes frame = {0x01, 0x15, 0x09, 0x06, 0x00, 0x02, 0x00, 0x05, 0x00, 0x01, 0x12, 0x34};
  uint8_t sum = 0;
  std::string text = ":";
  char digits[3];
  for (uint8_t b : frame) {
    sum = static_cast<uint8_t>(sum + b);
    std::snprintf(digits, sizeof digits, "%02X", b);
    text += digits;
  }
  std::snprintf(digits, sizeof digits, "%02X", static_cast<uint8_t>(-sum));
  text += digits;
  text += "\r\n";
  f.FeedText(text);
  EXPECT_EQ(f.DrainText(), text);
  uint16_t value = 0;
  f.model.ReadFileRecords(2, 5, 1, &value);
  EXPECT_EQ(value, 0x1234);
}

}  // namespace
}  // namespace kxtsim
