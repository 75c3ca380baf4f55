// The Modbus TCP stream: requests split and joined anyhow, faults on replies.
#include "kxtsim/modbus_tcp_session.h"

#include <gtest/gtest.h>

#include <vector>

namespace kxtsim {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kReadMarker = {0x12, 0x34, 0x00, 0x00, 0x00, 0x06, 0x09, 0x03, 0x1F, 0xFB, 0x00, 0x01};
const Bytes kMarkerReply = {0x12, 0x34, 0x00, 0x00, 0x00, 0x05, 0x09, 0x03, 0x02, 0x99, 0x90};

struct Fixture {
  explicit Fixture(ReplyFaultOptions fault_options = {})
      : model(ModuleOptions{}, [] { return uint64_t{0}; }),
        faults(fault_options),
        session(model, faults) {}
  Bytes Replies(uint64_t now_ms = 0) {
    Bytes out;
    session.TakeDueReplies(now_ms, out);
    return out;
  }
  ModuleModel model;
  ReplyFaults faults;
  ModbusTcpSession session;
};

TEST(ModbusTcpSession, RequestArrivingByteByByteIsAnsweredOnceComplete) {
  Fixture f;
  for (size_t i = 0; i + 1 < kReadMarker.size(); ++i) {
    ASSERT_TRUE(f.session.Receive(&kReadMarker[i], 1, 0));
    EXPECT_TRUE(f.Replies().empty());
  }
  ASSERT_TRUE(f.session.Receive(&kReadMarker.back(), 1, 0));
  EXPECT_EQ(f.Replies(), kMarkerReply);
}

TEST(ModbusTcpSession, TwoRequestsInOneReadAreBothAnsweredInOrder) {
  Fixture f;
  Bytes both = kReadMarker;
  Bytes second = kReadMarker;
  second[1] = 0x35;
  both.insert(both.end(), second.begin(), second.end());
  ASSERT_TRUE(f.session.Receive(both.data(), both.size(), 0));
  Bytes expected = kMarkerReply;
  Bytes second_reply = kMarkerReply;
  second_reply[1] = 0x35;
  expected.insert(expected.end(), second_reply.begin(), second_reply.end());
  EXPECT_EQ(f.Replies(), expected);
}

TEST(ModbusTcpSession, BrokenStreamsAreRefused) {
  const Bytes cases[] = {
      {0x00, 0x00, 0x00, 0x01, 0x00, 0x06},  // protocol identifier 1
      {0x00, 0x00, 0x00, 0x00, 0x00, 0x01},  // length 1: no function code
      {0x00, 0x00, 0x00, 0x00, 0x01, 0x2D},  // length 301
  };
  for (const Bytes& bytes : cases) {
    Fixture f;
    EXPECT_FALSE(f.session.Receive(bytes.data(), bytes.size(), 0));
  }
}

TEST(ModbusTcpSession, ReplyFaults) {
  {
    Fixture f(ReplyFaultOptions{.exception_code = 6, .exception_every = 2});
    f.session.Receive(kReadMarker.data(), kReadMarker.size(), 0);
    f.session.Receive(kReadMarker.data(), kReadMarker.size(), 0);
    Bytes expected = kMarkerReply;
    Bytes exception = {0x12, 0x34, 0x00, 0x00, 0x00, 0x03, 0x09, 0x83, 0x06};
    expected.insert(expected.end(), exception.begin(), exception.end());
    EXPECT_EQ(f.Replies(), expected) << "only the second request gets the exception";
  }
  {
    Fixture f(ReplyFaultOptions{.drop_every = 1});
    f.session.Receive(kReadMarker.data(), kReadMarker.size(), 0);
    EXPECT_TRUE(f.Replies().empty());
    EXPECT_FALSE(f.session.NextDue().has_value());
  }
  {
    Fixture f(ReplyFaultOptions{.delay_ms = 250});
    f.session.Receive(kReadMarker.data(), kReadMarker.size(), 1000);
    EXPECT_EQ(f.session.NextDue(), 1250u);
    EXPECT_TRUE(f.Replies(1249).empty());
    EXPECT_EQ(f.Replies(1250), kMarkerReply);
  }
}

}  // namespace
}  // namespace kxtsim
