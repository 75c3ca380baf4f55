// The Sy/Max link-level dialogue, driven byte by byte: retransmission,
// busy, enquiry rounds, rejection of bad frames, acknowledgement of replies.
#include <gtest/gtest.h>

#include "link/symax_protocol.h"
#include "tests/link/symax_machine.h"

namespace linklib::testing {
namespace {

// A read request of register 1, as the transmitter sends it with DC1.
const char* kReadFrame = "10 01 11 10 02 00 00 00 00 00 00 10 03 CA";

void QueueRead(LinkHandle* h) {
  uint16_t word = 0;
  SymaxReadRegisters(h, 1, 1, &word);
}

TEST(SymaxTransmitter, NakRetransmitsEightTimesThenDropsTheFrame) {
  SymaxMachine m;
  int pool_before = PoolSize();
  QueueRead(m.h);
  ASSERT_EQ(ToHex(m.PullFrame()), kReadFrame);
  for (int retry = 1; retry <= 8; ++retry) {
    SCOPED_TRACE(retry);
    m.Feed(Hex("FE 10 15"));
    EXPECT_EQ(ToHex(m.PullFrame()), kReadFrame);
  }
  m.Feed(Hex("10 15"));
  EXPECT_TRUE(m.Pull().empty());
  EXPECT_EQ(m.h->tx_state, 0);
  EXPECT_EQ(m.h->tx_seq, 0x11);  // nothing was acknowledged
  EXPECT_EQ(PoolSize(), pool_before);
}

TEST(SymaxTransmitter, WrongAcknowledgementRetransmits) {
  SymaxMachine m;
  QueueRead(m.h);
  m.PullFrame();
  m.Feed(Hex("10 12"));  // DC2 while DC1 is outstanding
  EXPECT_EQ(ToHex(m.PullFrame()), kReadFrame);
  EXPECT_EQ(m.h->retries_left, 7);
}

TEST(SymaxTransmitter, BusyResetsTheRetries) {
  SymaxMachine m;
  QueueRead(m.h);
  m.PullFrame();
  for (int i = 0; i < 5; ++i) {
    m.Feed(Hex("10 15"));
    m.PullFrame();
  }
  EXPECT_EQ(m.h->retries_left, 3);
  m.Feed(Hex("10 16"));  // busy: retries back to 8, then this retransmission
  EXPECT_EQ(ToHex(m.PullFrame()), kReadFrame);
  EXPECT_EQ(m.h->retries_left, 7);
  for (int i = 0; i < 7; ++i) {
    m.Feed(Hex("10 15"));
    EXPECT_EQ(ToHex(m.PullFrame()), kReadFrame);
  }
  m.Feed(Hex("10 15"));
  EXPECT_TRUE(m.Pull().empty());
}

TEST(SymaxTransmitter, BusyWhileIdleOnlyResetsTheRetries) {
  SymaxMachine m;
  m.Feed(Hex("10 16"));
  EXPECT_EQ(m.h->retries_left, 8);
  EXPECT_TRUE(m.Pull().empty());
}

TEST(SymaxTransmitter, UnansweredFrameGetsThirtyTwoEnquiryRoundsThenIsDropped) {
  SymaxMachine m;
  int pool_before = PoolSize();
  QueueRead(m.h);
  m.PullFrame();
  Bytes expected;
  for (int round = 0; round < 32; ++round) {
    expected.insert(expected.end(), 10, 0xFE);
    expected.push_back(0x10);
    expected.push_back(0x05);
  }
  expected.insert(expected.end(), 10, 0xFE);
  EXPECT_EQ(m.Pull(), expected);
  EXPECT_EQ(m.h->tx_state, 0);
  EXPECT_EQ(PoolSize(), pool_before);
}

TEST(SymaxTransmitter, AcknowledgementEndsTheFillers) {
  SymaxMachine m;
  QueueRead(m.h);
  m.PullFrame();
  EXPECT_EQ(ToHex(m.Pull(3)), "FE FE FE");
  m.Feed(Hex("10 11"));
  EXPECT_TRUE(m.Pull().empty());
  EXPECT_EQ(m.h->tx_seq, 0x12);
}

// A response that falls due while a frame goes out waits for the partner of
// a DLE, then slips in before the next frame byte.
TEST(SymaxTransmitter, ResponsesNeverSplitAControlPair) {
  SymaxMachine m;
  QueueRead(m.h);
  EXPECT_EQ(ToHex(m.Pull(1)), "10");
  m.Feed(Hex("10 05"));  // the peer asks for our last response
  EXPECT_EQ(ToHex(m.Pull(3)), "01 10 15");
  EXPECT_EQ(ToHex(m.PullFrame()), "11 10 02 00 00 00 00 00 00 10 03 CA");
}

TEST(SymaxReceiver, EnquiryRepeatsTheLastResponse) {
  SymaxMachine m;
  m.Feed(Hex("10 05"));
  EXPECT_EQ(ToHex(m.Pull()), "10 15");  // nothing received yet: NAK
  m.h->expected_transnum = 0;
  m.Feed(Hex("10 01 12 10 02 86 00 00 00 12 21 10 03 10"));
  EXPECT_EQ(ToHex(m.Pull()), "10 12");
  m.Feed(Hex("FE FE 10 05"));
  EXPECT_EQ(ToHex(m.Pull()), "10 12");
}

TEST(SymaxReceiver, BadFramesAreAnsweredWithNak) {
  struct Case {
    const char* what;
    bool crc;
    const char* wire;
  };
  const Case cases[] = {
      {"bad block check", false, "10 01 11 10 02 86 00 00 00 12 21 10 03 10"},
      {"bad CRC low byte", true, "10 01 11 10 02 86 00 00 00 10 10 20 10 03 5A 6F"},
      {"bad CRC high byte", true, "10 01 11 10 02 86 00 00 00 10 10 20 10 03 5B 6E"},
      {"route of 17 characters", false,
       "10 01 11 30 31 30 31 30 31 30 31 30 31 30 31 30 31 30 31 30"},
      {"sequence character neither DC1 nor DC2", false, "10 01 13"},
      {"control pair inside the route", false, "10 01 11 30 31 10 03"},
      {"lone DLE inside the data", false, "10 01 11 10 02 86 00 10 02"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SymaxMachine m(c.crc);
    int pool_before = PoolSize();
    m.h->expected_transnum = 0;
    m.Feed(Hex(c.wire));
    EXPECT_EQ(ToHex(m.Pull()), "10 15");
    EXPECT_TRUE(IsListEmpty(m.h->rx_queue));
    EXPECT_EQ(m.h->rx_frame, nullptr);
    EXPECT_EQ(PoolSize(), pool_before);
  }
}

TEST(SymaxReceiver, OverlongDataPartIsAnsweredWithNak) {
  SymaxMachine m;
  Bytes wire = Hex("10 01 11 10 02");
  wire.insert(wire.end(), 264, 0x00);
  m.Feed(wire);
  EXPECT_EQ(ToHex(m.Pull()), "10 15");
  EXPECT_EQ(m.h->rx_frame, nullptr);
}

TEST(SymaxReceiver, ReplyWithAnotherTransactionIsAcknowledgedAndDropped) {
  SymaxMachine m;
  int pool_before = PoolSize();
  m.h->expected_transnum = 5;
  m.Feed(Hex("10 01 11 10 02 86 00 00 00 10 10 20 10 03 04"));  // transaction 0
  EXPECT_EQ(ToHex(m.Pull()), "10 11");
  EXPECT_TRUE(IsListEmpty(m.h->rx_queue));
  EXPECT_EQ(PoolSize(), pool_before);
}

TEST(SymaxReceiver, NewFrameStartCutsTheUnfinishedOne) {
  SymaxMachine m;
  int pool_before = PoolSize();
  m.h->expected_transnum = 0;
  m.Feed(Hex("10 01 11 10 02 86 00"));
  m.Feed(Hex("10 01 11 10 02 86 00 00 00 10 10 20 10 03 04"));
  EXPECT_EQ(ToHex(m.Pull()), "10 11");
  FrameBuffer* reply = TakeFrame(m.h->rx_queue);
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(reply->length, 6);
  ReturnToPool(reply);
  EXPECT_EQ(PoolSize(), pool_before);
}

TEST(SymaxReceiver, NoBufferForAFrameAnswersBusy) {
  SymaxMachine m;
  FrameList taken;
  while (FrameBuffer* f = TakePoolFrame()) AppendFrame(taken, f);
  m.Feed(Hex("10 01 11 10 02 86 00 00 00 10 10 20 10 03 04"));
  EXPECT_EQ(ToHex(m.Pull()), "10 16");
  EXPECT_EQ(m.h->rx_state, 0);
  while (FrameBuffer* f = TakeFrame(taken)) ReturnToPool(f);
  // With buffers back, the peer's retransmission gets through.
  m.h->expected_transnum = 0;
  m.Feed(Hex("10 01 11 10 02 86 00 00 00 10 10 20 10 03 04"));
  EXPECT_EQ(ToHex(m.Pull()), "10 11");
  EXPECT_FALSE(IsListEmpty(m.h->rx_queue));
}

// Bytes of every value in every state: no crash, no overrun, and a good
// frame afterwards is still received.
TEST(SymaxReceiver, NoiseNeverBreaksTheReceiver) {
  SymaxMachine m(true);
  m.h->expected_transnum = 0;
  uint32_t seed = 12345;
  for (int i = 0; i < 200000; ++i) {
    seed = seed * 1103515245u + 12345u;
    uint8_t b = static_cast<uint8_t>(seed >> 16);
    if ((seed >> 8) % 7 == 0) b = 0x10;
    SymaxReceiveByte(m.h, b);
    if (i % 64 == 0) m.Pull();
  }
  ReturnListToPool(m.h->rx_queue);
  m.Feed(Hex("FE 10 02 10 01 11 10 02 86 00 00 00 10 10 20 10 03 5A 6E"));
  m.Pull();
  EXPECT_FALSE(IsListEmpty(m.h->rx_queue));
}

}  // namespace
}  // namespace linklib::testing
