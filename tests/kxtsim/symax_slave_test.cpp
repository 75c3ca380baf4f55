// The Sy/Max slave fed byte by byte: acknowledgements, replies along the
// reversed route, retransmission, enquiries, checks and faults.
#include "kxtsim/symax_slave.h"

#include <gtest/gtest.h>

#include <vector>

namespace kxtsim {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t DLE = 0x10, SOH = 0x01, STX = 0x02, ETX = 0x03, ENQ = 0x05, DC1 = 0x11,
                  DC2 = 0x12, NAK = 0x15, SYN = 0x16;

// A frame on the wire, built here independently of the slave's encoder.
Bytes WireFrame(uint8_t sequence, const Bytes& route, const Bytes& data, bool crc) {
  Bytes checked{sequence};
  checked.insert(checked.end(), route.begin(), route.end());
  checked.insert(checked.end(), {DLE, STX});
  for (uint8_t b : data) {
    if (b == DLE) checked.push_back(DLE);
    checked.push_back(b);
  }
  checked.insert(checked.end(), {DLE, ETX});
  Bytes wire{DLE, SOH};
  wire.insert(wire.end(), checked.begin(), checked.end());
  if (crc) {
    uint16_t c = 0xFFFF;
    for (uint8_t b : checked) {
      c ^= b;
      for (int i = 0; i < 8; ++i) c = (c & 1) ? (c >> 1) ^ 0xA001 : c >> 1;
    }
    wire.push_back(static_cast<uint8_t>(c >> 8));
    wire.push_back(static_cast<uint8_t>(c));
  } else {
    uint8_t sum = 0;
    for (uint8_t b : checked) sum = static_cast<uint8_t>(sum + b);
    wire.push_back(static_cast<uint8_t>(-sum));
  }
  return wire;
}

struct Fixture {
  explicit Fixture(bool crc = false, ReplyFaultOptions fault_options = {})
      : model(ModuleOptions{}, [] { return uint64_t{0}; }),
        faults(fault_options),
        slave(model, faults, crc) {}
  void Feed(const Bytes& bytes) {
    for (uint8_t b : bytes) slave.Receive(b, 0);
  }
  // Everything the slave sends, at most `limit` bytes.
  Bytes Drain(size_t limit = 100000) {
    Bytes out;
    uint8_t byte;
    while (out.size() < limit && slave.NextByte(0, byte)) out.push_back(byte);
    return out;
  }
  // The bytes up to and including the end of the next frame's check.
  Bytes DrainFrame(bool crc = false) {
    Bytes out;
    uint8_t byte;
    size_t check_left = 0;
    bool after_dle = false;
    while (slave.NextByte(0, byte)) {
      out.push_back(byte);
      if (check_left > 0) {
        if (--check_left == 0) break;
        continue;
      }
      if (after_dle && byte == ETX) check_left = crc ? 2 : 1;
      after_dle = !after_dle && byte == DLE;
    }
    return out;
  }
  ModuleModel model;
  ReplyFaults faults;
  SymaxSlave slave;
};

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(SymaxSlave, ReadWithBlockCheckByteExact) {
  Fixture f;
  // Register 8188 (byte address 0x3FF6), one register, transaction 5, drop 1.
  f.Feed({0x10, 0x01, 0x11, 0x30, 0x31, 0x10, 0x02, 0x00, 0x05, 0x3F, 0xF6, 0x00, 0x00, 0x10, 0x03,
          0x2F});
  EXPECT_EQ(f.DrainFrame(), (Bytes{0x10, 0x11, 0x10, 0x01, 0x11, 0x30, 0x31, 0x10, 0x02, 0x86, 0x05,
                                   0x3F, 0xF6, 0x99, 0x90, 0x10, 0x03, 0x80}));
  f.Feed({DLE, DC1});
  EXPECT_TRUE(f.Drain().empty()) << "acknowledged: no fillers, no enquiry";
}

TEST(SymaxSlave, WriteWithCrcAndDoubledDleByteExact) {
  Fixture f(true);
  // Register 100 := 0x1010, transaction 9.
  f.Feed({0x10, 0x01, 0x11, 0x30, 0x31, 0x10, 0x02, 0x02, 0x09, 0x00, 0xC6,
          0x10, 0x10, 0x10, 0x10, 0xFF, 0xFF, 0x10, 0x03, 0x32, 0xED});
  EXPECT_EQ(f.DrainFrame(true), (Bytes{0x10, 0x11, 0x10, 0x01, 0x11, 0x30, 0x31, 0x10, 0x02, 0x80,
                                       0x09, 0x00, 0xC6, 0x10, 0x03, 0x47, 0x43}));
  uint16_t value = 0;
  f.model.ReadRegisters(100, 1, &value);
  EXPECT_EQ(value, 0x1010);
}

struct RequestCase {
  const char* what;
  Bytes request;
  Bytes reply;
};

class SymaxRequests : public ::testing::TestWithParam<RequestCase> {};

TEST_P(SymaxRequests, ReplyData) {
  Fixture f;
  uint16_t seed[3] = {0x0102, 0x0304, 0x0506};
  f.model.WriteRegisters(10, 3, seed);
  uint16_t status = 0xABCD;
  f.model.WriteStatusWords(11, 1, &status);
  const Bytes route = {'0', '1'};
  f.Feed(WireFrame(DC1, route, GetParam().request, false));
  Bytes expected = Concat({DLE, DC1}, WireFrame(DC1, route, GetParam().reply, false));
  EXPECT_EQ(f.DrainFrame(), expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SymaxRequests,
    ::testing::Values(
        RequestCase{"read 10..12",
                    {0x00, 0x07, 0x00, 0x12, 0x00, 0x02},
                    {0x86, 0x07, 0x00, 0x12, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06}},
        RequestCase{"priority read of 11",
                    {0x20, 0x06, 0, 0, 0, 0x00, 0x14, 0x00, 0x00},
                    {0x90, 0x06, 0, 0, 0, 0x00, 0x14, 0x03, 0x04}},
        RequestCase{"status word of 11 at 8203",
                    {0x00, 0x01, 0x40, 0x14, 0x00, 0x00},
                    {0x86, 0x01, 0x40, 0x14, 0xAB, 0xCD}},
        RequestCase{"random read 12, 10",
                    {0x04, 0x02, 0x00, 0x16, 0x00, 0x12},
                    {0x8A, 0x02, 0x05, 0x06, 0x01, 0x02}},
        RequestCase{"priority write",
                    {0x1E, 0x03, 0x00, 0x00, 0x12, 0x11, 0x11},
                    {0x92, 0x03, 0, 0, 0, 0x00, 0x12}},
        RequestCase{
            "register past 16384", {0x00, 0x04, 0x80, 0x00, 0x00, 0x00}, {0xA2, 0x04, 3, 0}},
        RequestCase{"odd byte address", {0x00, 0x04, 0x00, 0x13, 0x00, 0x00}, {0xA2, 0x04, 3, 0}},
        RequestCase{"priority read past the end carries the status",
                    {0x20, 0x05, 0, 0, 0, 0x80, 0x00, 0x00, 0x00},
                    {0x90, 0x05, 0, 0, 3, 0x80, 0}},
        RequestCase{"count of 129", {0x00, 0x04, 0x00, 0x00, 0x00, 0x80}, {0xA2, 0x04, 16, 0}},
        RequestCase{
            "write without its FF FF", {0x02, 0x04, 0x00, 0x00, 0x00, 0x01}, {0xA2, 0x04, 70, 0}},
        RequestCase{"unknown opcode", {0x33, 0x08}, {0xA2, 0x08, 1, 0}}));

TEST(SymaxSlave, ReplyGoesBackAlongTheReversedRoute) {
  Fixture f;
  const Bytes read = {0x00, 0x01, 0x00, 0x00, 0x00, 0x00};
  const Bytes reply = {0x86, 0x01, 0x00, 0x00, 0x00, 0x00};
  f.Feed(WireFrame(DC1, {'0', '1', '0', 'C'}, read, false));
  EXPECT_EQ(f.DrainFrame(), Concat({DLE, DC1}, WireFrame(DC1, {'0', 'C', '0', '1'}, reply, false)));
  f.Feed({DLE, DC1});
  // Net-to-Net: the mark stays on the first character.
  f.Feed(WireFrame(DC2, {0xB0, '1', '0', 'C'}, read, false));
  EXPECT_EQ(f.DrainFrame(),
            Concat({DLE, DC2}, WireFrame(DC2, {0xB0, 'C', '0', '1'}, reply, false)));
}

TEST(SymaxSlave, BadFramesAreRejectedAndEnquiriesRepeatTheLastResponse) {
  Fixture f;
  f.Feed({DLE, ENQ});
  EXPECT_EQ(f.Drain(), (Bytes{DLE, NAK})) << "enquiry before any frame";
  Bytes frame = WireFrame(DC1, {'0', '1'}, {0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, false);
  frame.back() ^= 1;
  f.Feed(frame);
  EXPECT_EQ(f.Drain(), (Bytes{DLE, NAK})) << "bad check";
  f.Feed(WireFrame(DC1, Bytes(18, '0'), {0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, false));
  EXPECT_EQ(f.Drain(), (Bytes{DLE, NAK})) << "route longer than 16 characters";
  f.Feed(WireFrame(DC1, {'0', 'G'}, {0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, false));
  EXPECT_EQ(f.Drain(), (Bytes{DLE, NAK})) << "route not hexadecimal";
  f.Feed({DLE, SOH, DC1, '0', '1', DLE, 0x41});
  EXPECT_EQ(f.Drain(), (Bytes{DLE, NAK})) << "bad control pair inside a frame";

  f.Feed(WireFrame(DC2, {'0', '1'}, {0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, false));
  f.DrainFrame();
  f.Feed({DLE, DC1});  // the reply's own sequence character
  f.Feed({DLE, ENQ});
  EXPECT_EQ(f.Drain(), (Bytes{DLE, DC2}));
}

TEST(SymaxSlave, RetransmitsOnNakEightTimesThenGivesUp) {
  Fixture f;
  f.Feed(WireFrame(DC1, {'0', '1'}, {0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, false));
  Bytes first = f.DrainFrame();
  Bytes reply(first.begin() + 2, first.end());
  for (int retry = 0; retry < 8; ++retry) {
    f.Feed({DLE, NAK});
    EXPECT_EQ(f.DrainFrame(), reply) << "retransmission " << retry + 1;
  }
  f.Feed({DLE, NAK});
  EXPECT_TRUE(f.Drain().empty());
}

TEST(SymaxSlave, BusyResetsTheRetriesAndAWrongAcknowledgementRetransmits) {
  Fixture f;
  f.Feed(WireFrame(DC1, {'0', '1'}, {0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, false));
  Bytes first = f.DrainFrame();
  Bytes reply(first.begin() + 2, first.end());
  for (int retry = 0; retry < 7; ++retry) {
    f.Feed({DLE, NAK});
    f.DrainFrame();
  }
  f.Feed({DLE, SYN});
  EXPECT_EQ(f.DrainFrame(), reply);
  f.Feed({DLE, DC2});
  EXPECT_EQ(f.DrainFrame(), reply) << "DC2 does not acknowledge a DC1 frame";
  for (int retry = 0; retry < 6; ++retry) {
    f.Feed({DLE, NAK});
    EXPECT_EQ(f.DrainFrame(), reply);
  }
}

TEST(SymaxSlave, UnacknowledgedReplyGetsThirtyTwoEnquiryRounds) {
  Fixture f;
  f.Feed(WireFrame(DC1, {'0', '1'}, {0x00, 0x01, 0x00, 0x00, 0x00, 0x00}, false));
  f.DrainFrame();
  Bytes round(10, 0xFE);
  round.insert(round.end(), {DLE, ENQ});
  Bytes expected;
  for (int i = 0; i < 32; ++i) expected = Concat(expected, round);
  expected = Concat(expected, Bytes(10, 0xFE));
  EXPECT_EQ(f.Drain(), expected);
}

// A new request that arrives between the DLE and the ENQ of an enquiry (the
// peer gave up its wait, or was slow to acknowledge): the ENQ completes its
// pair first, then the new reply starts with its own DLE SOH.
TEST(SymaxSlave, NewRequestBetweenTheDleAndTheEnqOfAnEnquiry) {
  Fixture f;
  const Bytes read = {0x00, 0x01, 0x00, 0x00, 0x00, 0x00};
  f.Feed(WireFrame(DC1, {'0', '1'}, read, false));
  f.DrainFrame();
  EXPECT_EQ(f.Drain(11), Concat(Bytes(10, 0xFE), {DLE}));
  f.Feed(WireFrame(DC2, {'0', '1'}, {0x00, 0x02, 0x00, 0x00, 0x00, 0x00}, false));
  Bytes next = f.DrainFrame();
  ASSERT_GE(next.size(), 5u);
  EXPECT_EQ(Bytes(next.begin(), next.begin() + 5), (Bytes{ENQ, DLE, DC2, DLE, SOH}));
}

TEST(SymaxSlave, SequenceAlternatesAfterEachAcknowledgedReply) {
  Fixture f;
  const Bytes read = {0x00, 0x01, 0x00, 0x00, 0x00, 0x00};
  f.Feed(WireFrame(DC1, {'0', '1'}, read, false));
  EXPECT_EQ(f.DrainFrame()[4], DC1);
  f.Feed({DLE, DC1});
  f.Feed(WireFrame(DC2, {'0', '1'}, read, false));
  EXPECT_EQ(f.DrainFrame()[4], DC2);
}

TEST(SymaxSlave, Faults) {
  const Bytes read = {0x00, 0x01, 0x00, 0x00, 0x00, 0x00};
  {
    Fixture f(false, ReplyFaultOptions{.busy_every = 2});
    f.Feed(WireFrame(DC1, {'0', '1'}, read, false));
    f.DrainFrame();
    f.Feed({DLE, DC1});
    f.Feed(WireFrame(DC2, {'0', '1'}, read, false));
    EXPECT_EQ(f.Drain(), (Bytes{DLE, SYN})) << "the second frame is answered busy";
  }
  {
    Fixture f(false, ReplyFaultOptions{.error_status = 7});
    f.Feed(WireFrame(DC1, {'0', '1'}, read, false));
    EXPECT_EQ(f.DrainFrame(),
              Concat({DLE, DC1}, WireFrame(DC1, {'0', '1'}, {0xA2, 0x01, 7, 0}, false)));
  }
  {
    Fixture f(false, ReplyFaultOptions{.drop_every = 1});
    f.Feed(WireFrame(DC1, {'0', '1'}, read, false));
    EXPECT_EQ(f.Drain(), (Bytes{DLE, DC1})) << "acknowledged, never answered";
  }
  {
    Fixture f(false, ReplyFaultOptions{.corrupt_every = 2});
    f.Feed(WireFrame(DC1, {'0', '1'}, read, false));
    Bytes good = f.DrainFrame();
    f.Feed({DLE, NAK});
    Bytes corrupt = f.DrainFrame();
    ASSERT_EQ(corrupt.size() + 2, good.size());
    EXPECT_NE(corrupt.back(), good.back()) << "the second frame sent has a wrong check";
    f.Feed({DLE, NAK});
    EXPECT_EQ(Concat({DLE, DC1}, f.DrainFrame()), good);
  }
}

}  // namespace
}  // namespace kxtsim
