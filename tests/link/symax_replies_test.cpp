// Every reply check of the Sy/Max register requests. The wait callback plays
// the device: on its first call it takes the request off the transmitter,
// acknowledges it and feeds back the scripted reply, all on the test's thread.
#include <gtest/gtest.h>

#include <string>

#include "tests/link/symax_machine.h"

namespace linklib::testing {
namespace {

enum class Request { Read, Write, RandomRead };

struct ReplyCase {
  const char* what;
  Request request;
  bool priority;
  const char* route;  // route characters of the reply
  const char* data;   // reply data; "TT" stands for the request's transaction
  int result;
  const char* message;  // expected text, or null when the result is non-zero
};

// A reply frame with its block check, encoded here independently of the
// library: DLE doubled in the data, the check makes the sum 0 modulo 256.
Bytes EncodeReply(const Bytes& route, const Bytes& data) {
  Bytes wire;
  for (uint8_t b : {0x10, 0x01, 0x11}) wire.push_back(b);
  for (uint8_t b : route) wire.push_back(b);
  wire.push_back(0x10);
  wire.push_back(0x02);
  for (uint8_t b : data) {
    if (b == 0x10) wire.push_back(0x10);
    wire.push_back(b);
  }
  wire.push_back(0x10);
  wire.push_back(0x03);
  unsigned sum = 0;
  for (size_t i = 2; i < wire.size(); ++i) sum += wire[i];
  wire.push_back(static_cast<uint8_t>(-sum & 0xFF));
  return wire;
}

struct Device {
  SymaxMachine* machine = nullptr;
  const ReplyCase* script = nullptr;
  bool answer = true;
  uint32_t go_on = 1;
  int calls = 0;
};
Device device;

uint32_t PlayDevice(uint32_t) {
  if (device.calls++ > 0 || !device.answer) return device.go_on;
  Bytes request = device.machine->PullFrame();
  uint8_t transnum = request.size() > 6 ? request[6] : 0;
  device.machine->Feed(Hex("10 11"));  // acknowledged
  std::string data = device.script->data;
  for (size_t at = data.find("TT"); at != std::string::npos; at = data.find("TT"))
    data.replace(at, 2, ToHex({transnum}));
  device.machine->Feed(EncodeReply(Hex(device.script->route), Hex(data)));
  return device.go_on;
}

const ReplyCase kReplyCases[] = {
    {"read", Request::Read, false, "", "86 TT 00 00 12 34 00 10", 2, nullptr},
    {"read along a route", Request::Read, false, "30 43 30 31", "86 TT 00 00 12 34 00 10", 2,
     nullptr},
    {"priority read", Request::Read, true, "", "90 TT 00 00 00 00 00 12 34 00 10", 2, nullptr},
    {"priority read with status 7", Request::Read, true, "", "90 TT 00 00 07 00 00", 0,
     "(7) Protected Register"},
    {"read error reply with status 0", Request::Read, false, "", "A2 TT 00", 0, "(0) No Error"},
    {"read error reply with status 3", Request::Read, false, "", "A2 TT 03", 0,
     "(3) Illegal Address"},
    {"read reply of unknown opcode", Request::Read, false, "", "55 TT 00 00", 0,
     "Can't deal with Reply Opcode 0x55."},
    {"read reply with a bad route", Request::Read, false, "30 47", "86 TT 00 00 12 34 00 10", 0,
     "Bad Reply Route"},
    {"read reply one word short", Request::Read, false, "", "86 TT 00 00 12 34", 0,
     "Read reply invalid"},
    {"write", Request::Write, false, "", "80 TT", 2, nullptr},
    {"priority write", Request::Write, true, "", "92 TT 00 00 00", 2, nullptr},
    {"priority write with status 22", Request::Write, true, "", "92 TT 00 00 16", 0,
     "(22) Forcing Inhibited"},
    {"write error reply", Request::Write, false, "", "A2 TT 07", 0, "(7) Protected Register"},
    {"write answered by a read reply", Request::Write, false, "", "86 TT 00 00", 0,
     "Write reply invalid"},
    {"write reply with a bad route", Request::Write, false, "31", "80 TT", 0,
     "Write reply invalid"},
    {"random read", Request::RandomRead, false, "", "8A TT 12 34 00 10", 2, nullptr},
    {"random read error reply", Request::RandomRead, false, "", "A2 TT 03", 0,
     "(3) Illegal Address"},
    {"random read reply one word short", Request::RandomRead, false, "", "8A TT 12 34", 0,
     "Read reply invalid"},
    {"random read answered by a read reply", Request::RandomRead, false, "",
     "86 TT 00 00 12 34 00 10", 0, "Read reply invalid"},
    {"status above the table", Request::Read, false, "", "A2 TT C8", 0, nullptr},
};

int RunRequest(LinkHandle* h, Request request, uint16_t* words) {
  static const uint16_t kWritten[2] = {0x1234, 0x0010};
  static const uint32_t kRegisters[2] = {5, 9000};
  switch (request) {
    case Request::Read:
      return SymaxReadRegisters(h, 100, 2, words);
    case Request::Write:
      return SymaxWriteRegisters(h, 100, 2, kWritten);
    case Request::RandomRead:
      return SymaxRandomRead(h, kRegisters, 2, words);
  }
  return -1;
}

TEST(SymaxReplies, EveryReplyCheckAndItsMessage) {
  for (const ReplyCase& c : kReplyCases) {
    SCOPED_TRACE(c.what);
    SymaxMachine m;
    m.h->priority = c.priority;
    m.h->reply_timeout = 500;
    m.h->wait_callback = PlayDevice;
    device = Device{&m, &c};
    uint16_t words[2] = {0xAAAA, 0xAAAA};
    int pool_before = PoolSize();
    EXPECT_EQ(RunRequest(m.h, c.request, words), c.result);
    if (c.result != 0 && c.request != Request::Write) {
      EXPECT_EQ(words[0], 0x1234);
      EXPECT_EQ(words[1], 0x0010);
    }
    if (c.message) {
      EXPECT_STREQ(LinkMessage(m.h), c.message);
    } else if (c.result == 0) {
      EXPECT_EQ(std::string(LinkMessage(m.h)).rfind("(200) ", 0), 0u) << LinkMessage(m.h);
    }
    EXPECT_EQ(m.h->reply_expected, 0);
    EXPECT_EQ(PoolSize(), pool_before);   // the request and the reply went back
    EXPECT_EQ(ToHex(m.Pull()), "10 11");  // the reply was acknowledged
  }
}

TEST(SymaxReplies, NoReplyLeavesTheTimeoutTexts) {
  const struct {
    Request request;
    const char* message;
  } cases[] = {{Request::Read, "Read reply timeout"},
               {Request::Write, "Write reply timeout"},
               {Request::RandomRead, "Read reply timeout"}};
  for (const auto& c : cases) {
    SymaxMachine m;
    m.h->reply_timeout = 2;
    m.h->wait_callback = PlayDevice;
    device = Device{&m, nullptr, false};
    uint16_t words[2];
    EXPECT_EQ(RunRequest(m.h, c.request, words), 0);
    EXPECT_STREQ(LinkMessage(m.h), c.message);
    EXPECT_EQ(device.calls, 2);
  }
}

TEST(SymaxReplies, AbandonedWaitKeepsItsText) {
  for (Request request : {Request::Read, Request::Write, Request::RandomRead}) {
    SymaxMachine m;
    m.h->reply_timeout = 500;
    m.h->wait_callback = PlayDevice;
    device = Device{&m, nullptr, false, 0};
    uint16_t words[2];
    EXPECT_EQ(RunRequest(m.h, request, words), 0);
    EXPECT_STREQ(LinkMessage(m.h), "Application idle abort");
    EXPECT_EQ(device.calls, 1);
  }
}

TEST(SymaxReplies, StaleRepliesAreDrainedBeforeARequest) {
  SymaxMachine m;
  m.h->expected_transnum = 0;
  m.Feed(EncodeReply({}, Hex("86 00 00 00 99 99 99 99")));  // answers nothing asked now
  m.Pull();
  const ReplyCase c = {"", Request::Read, false, "", "86 TT 00 00 12 34 00 10", 2, nullptr};
  m.h->reply_timeout = 500;
  m.h->wait_callback = PlayDevice;
  device = Device{&m, &c};
  uint16_t words[2] = {};
  EXPECT_EQ(SymaxReadRegisters(m.h, 1, 2, words), 2);
  EXPECT_EQ(words[0], 0x1234);
}

TEST(SymaxReplies, BufferShortageEmptiesTheQueues) {
  SymaxMachine m;
  FrameList taken;
  while (FrameBuffer* f = TakePoolFrame()) AppendFrame(taken, f);
  uint16_t words[1];
  EXPECT_EQ(SymaxReadRegisters(m.h, 1, 1, words), 0);
  EXPECT_STREQ(LinkMessage(m.h), "Buffer shortage, try again");
  while (FrameBuffer* f = TakeFrame(taken)) ReturnToPool(f);
}

}  // namespace
}  // namespace linklib::testing
