// Sy/Max frames on the wire, byte for byte: requests as the transmitter sends
// them, and replies as the receiver takes them in.
#include <gtest/gtest.h>

#include <functional>

#include "link/symax_protocol.h"
#include "tests/link/symax_machine.h"

namespace linklib::testing {
namespace {

struct RequestVector {
  const char* what;
  bool crc;
  bool priority;
  uint8_t net_to_net;
  uint8_t counter;
  Route route;
  std::function<void(LinkHandle*)> request;
  const char* wire;
};

void ReadOne(LinkHandle* h) {
  uint16_t word = 0;
  SymaxReadRegisters(h, 1, 1, &word);
}

const RequestVector kRequestVectors[] = {
    {"data byte 0x10 doubled and counted twice",
     false,
     false,
     0,
     0,
     {},
     [](LinkHandle* h) {
       const uint16_t word = 0x0001;
       SymaxWriteRegisters(h, 9, 1, &word);  // byte address 0x0010
     },
     "10 01 11 10 02 02 00 00 10 10 00 01 FF FF 10 03 A9"},
    {"route 1, 12 as 010C",
     false,
     false,
     0,
     0,
     {2, {1, 12}},
     ReadOne,
     "10 01 11 30 31 30 43 10 02 00 00 00 00 00 00 10 03 F6"},
    {"route 1, 12 with the Net-to-Net mark",
     false,
     false,
     1,
     0,
     {2, {1, 12}},
     ReadOne,
     "10 01 11 B0 31 30 43 10 02 00 00 00 00 00 00 10 03 76"},
    {"CRC sent high byte first",
     true,
     false,
     0,
     0,
     {},
     ReadOne,
     "10 01 11 10 02 00 00 00 00 00 00 10 03 EC 03"},
    {"priority read with the counter at 70 carries 6",
     false,
     true,
     0,
     70,
     {},
     [](LinkHandle* h) {
       uint16_t words[3];
       SymaxReadRegisters(h, 2, 3, words);
     },
     "10 01 11 10 02 20 06 00 00 00 00 02 00 02 10 03 A0"},
    {"plain write ends with FF FF",
     false,
     false,
     0,
     0,
     {},
     [](LinkHandle* h) {
       const uint16_t word = 0x1234;
       SymaxWriteRegisters(h, 1, 1, &word);
     },
     "10 01 11 10 02 02 00 00 00 12 34 FF FF 10 03 84"},
    {"priority write without FF FF",
     false,
     true,
     0,
     70,
     {},
     [](LinkHandle* h) {
       const uint16_t word = 0x1234;
       SymaxWriteRegisters(h, 1, 1, &word);
     },
     "10 01 11 10 02 1E 06 00 00 00 12 34 10 03 60"},
    {"random read lists byte addresses",
     false,
     false,
     0,
     0,
     {},
     [](LinkHandle* h) {
       const uint32_t registers[] = {1, 8193};
       uint16_t words[2];
       SymaxRandomRead(h, registers, 2, words);
     },
     "10 01 11 10 02 04 00 00 00 40 00 10 03 86"},
};

TEST(SymaxVectors, RequestFramesOnTheWire) {
  for (const RequestVector& v : kRequestVectors) {
    SCOPED_TRACE(v.what);
    SymaxMachine m(v.crc);
    m.h->priority = v.priority;
    m.h->net_to_net = v.net_to_net;
    m.h->transnum_counter = v.counter;
    m.h->route = v.route;
    v.request(m.h);
    Bytes wire = m.PullFrame();
    EXPECT_EQ(ToHex(wire), v.wire);
    EXPECT_EQ(m.h->transnum_counter, static_cast<uint8_t>(v.counter + 1));
    if (!v.crc) {
      // Every byte from the sequence character on, check byte included,
      // sums to 0 modulo 256.
      unsigned sum = 0;
      for (size_t i = 2; i < wire.size(); ++i) sum += wire[i];
      EXPECT_EQ(sum % 256, 0u);
    }
  }
}

TEST(SymaxVectors, NetToNetMarkStaysOnTheRoute) {
  SymaxMachine m;
  m.h->net_to_net = 1;
  m.h->route = {1, {5}};
  ReadOne(m.h);
  EXPECT_EQ(m.h->route.drops[0], 0x8005);
  EXPECT_EQ(ToHex(m.PullFrame()).substr(0, 14), "10 01 11 B0 35");
}

TEST(SymaxVectors, TwoAcknowledgedFramesCarryDc1ThenDc2) {
  SymaxMachine m;
  ReadOne(m.h);
  EXPECT_EQ(ToHex(m.PullFrame()), "10 01 11 10 02 00 00 00 00 00 00 10 03 CA");
  m.Feed(Hex("10 11"));
  ReadOne(m.h);
  EXPECT_EQ(ToHex(m.PullFrame()), "10 01 12 10 02 00 01 00 00 00 00 10 03 C8");
  m.Feed(Hex("10 12"));
  EXPECT_EQ(m.h->tx_seq, 0x11);
  EXPECT_TRUE(m.Pull().empty());
}

struct ReplyVector {
  const char* what;
  bool crc;
  const char* wire;
  const char* stored_data;
  const char* acknowledgement;
};

const ReplyVector kReplyVectors[] = {
    {"doubled DLE stored once", false, "10 01 11 10 02 86 00 00 00 10 10 20 10 03 04",
     "86 00 00 00 10 20", "10 11"},
    {"doubled DLE stored once, CRC", true, "10 01 11 10 02 86 00 00 00 10 10 20 10 03 5A 6E",
     "86 00 00 00 10 20", "10 11"},
    {"check byte 0x10 is not a DLE", false, "10 01 12 10 02 86 00 00 00 12 21 10 03 10",
     "86 00 00 00 12 21", "10 12"},
    {"fillers and a reversed route", false,
     "FE FE 10 01 11 30 43 30 31 10 02 86 00 00 00 00 07 10 03 69", "86 00 00 00 00 07", "10 11"},
};

TEST(SymaxVectors, RepliesReceivedAndAcknowledged) {
  for (const ReplyVector& v : kReplyVectors) {
    SCOPED_TRACE(v.what);
    SymaxMachine m(v.crc);
    m.h->expected_transnum = 0;
    m.Feed(Hex(v.wire));
    FrameBuffer* reply = TakeFrame(m.h->rx_queue);
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(ToHex(Bytes(reply->data, reply->data + reply->length)), v.stored_data);
    EXPECT_TRUE(symax::IsValidRoute(reply->address));
    ReturnToPool(reply);
    EXPECT_EQ(ToHex(m.Pull()), v.acknowledgement);
  }
}

TEST(SymaxVectors, ReceivedRouteValidity) {
  struct Case {
    Bytes address;
    bool valid;
  };
  const Case cases[] = {
      {Hex("FF FF"), true},
      {Hex("30 43 30 31 FF FF"), true},
      {Hex("B0 63 FF FF"), true},  // bit 7 ignored, lower case accepted
      {Hex("30 47 FF FF"), false},
      {Hex("30 43 30 FF FF"), false},  // an odd number of characters
      {Hex("30 31 30 31 30 31 30 31 30 31 30 31 30 31 30 31 30 31"), false},  // no end
  };
  for (const Case& c : cases) {
    uint8_t address[18] = {};
    std::copy(c.address.begin(), c.address.end(), address);
    EXPECT_EQ(symax::IsValidRoute(address), c.valid) << ToHex(c.address);
  }
}

}  // namespace
}  // namespace linklib::testing
