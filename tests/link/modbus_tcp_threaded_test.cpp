// The Modbus TCP link against an in-test peer on loopback that answers with
// exactly the bytes each test gives it: requests on the wire, reply checks,
// replies in pieces, stale and overlong replies, silent, closing and
// resetting peers, and a server restart.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "link/link.h"
#include "link/link_handle.h"
#include "platform/sim_tcp_listener.h"
#include "platform/tcp_socket.h"
#include "tests/support/modbus_tcp_peer.h"

namespace linklib {
namespace {

using testsupport::Answer;
using testsupport::Bytes;
using testsupport::PollGate;
using FakePeer = testsupport::ModbusTcpPeer;

constexpr uint16_t kUnit = 7;

// Header with the length field filled in, then the unit and the data unit.
Bytes Frame(const Bytes& unit_and_pdu) {
  Bytes frame = {0,
                 0,
                 0,
                 0,
                 static_cast<uint8_t>(unit_and_pdu.size() >> 8),
                 static_cast<uint8_t>(unit_and_pdu.size())};
  for (uint8_t byte : unit_and_pdu) frame.push_back(byte);
  return frame;
}

Bytes Concat(Bytes a, const Bytes& b) {
  for (uint8_t byte : b) a.push_back(byte);
  return a;
}

PollGate* active_gate = nullptr;

uint32_t CountPolls(uint32_t) {
  if (active_gate) active_gate->Polled();
  return 1;
}

class ModbusTcp : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(peer_.listening());
    link_ = OpenModbusTCP("127.0.0.1", peer_.port(), kUnit);
    ASSERT_NE(link_, nullptr);
  }
  void TearDown() override {
    active_gate = nullptr;
    SetProgramStyle(ProgramStyle::Downloader);
    if (link_) CloseLink(link_);
  }
  // Fewer polls than the default 500 keep the failure cases quick.
  void SetReplyTimeout(uint16_t polls) { link_->reply_timeout = polls; }

  FakePeer peer_;
  LinkHandle* link_ = nullptr;
  uint16_t words_[130] = {};
};

TEST_F(ModbusTcp, EveryOperationOnTheWire) {
  const uint16_t two_words[2] = {0x1234, 0xABCD};
  struct Case {
    const char* name;
    ProgramStyle style;
    std::function<int(LinkHandle*, uint16_t*)> operation;
    Bytes request;
    Bytes reply;
    std::vector<uint16_t> words;  // read back
  } cases[] = {
      {"read holding registers",
       ProgramStyle::Downloader,
       [](LinkHandle* h, uint16_t* w) { return ReadRegisters(h, 100, 3, w); },
       Frame({7, 0x03, 0x00, 0x63, 0x00, 0x03}),
       Frame({7, 0x03, 6, 0x00, 0x01, 0x00, 0x02, 0xFF, 0xFE}),
       {0x0001, 0x0002, 0xFFFE}},
      {"write multiple registers",
       ProgramStyle::Downloader,
       [&](LinkHandle* h, uint16_t*) { return WriteRegisters(h, 1, 2, two_words); },
       Frame({7, 0x10, 0x00, 0x00, 0x00, 0x02, 4, 0x12, 0x34, 0xAB, 0xCD}),
       Frame({7, 0x10, 0x00, 0x00, 0x00, 0x02}),
       {}},
      {"read file records",
       ProgramStyle::Environment,
       [](LinkHandle* h, uint16_t* w) { return ReadFileRecords(h, 4, 10, 2, w); },
       Frame({7, 0x14, 7, 6, 0x00, 0x04, 0x00, 0x0A, 0x00, 0x02}),
       Frame({7, 0x14, 6, 5, 6, 0x00, 0x11, 0x00, 0x22}),
       {0x0011, 0x0022}},
      {"3X read as file records",
       ProgramStyle::Downloader,
       [](LinkHandle* h, uint16_t* w) { return Read3XRegisters(h, 1, 5, 1, w); },
       Frame({7, 0x14, 7, 3, 0x00, 0x01, 0x00, 0x05, 0x00, 0x01}),
       Frame({7, 0x14, 4, 3, 3, 0xBE, 0xEF}),
       {0xBEEF}},
      {"3X read as input registers",
       ProgramStyle::RegisterEditor,
       [](LinkHandle* h, uint16_t* w) { return Read3XRegisters(h, 1, 5, 2, w); },
       Frame({7, 0x04, 0x00, 0x04, 0x00, 0x02}),
       Frame({7, 0x04, 4, 0x12, 0x34, 0x56, 0x78}),
       {0x1234, 0x5678}},
      {"write file records",
       ProgramStyle::Downloader,
       [&](LinkHandle* h, uint16_t*) { return WriteFileRecords(h, 2, 3, 2, two_words); },
       Frame({7, 0x15, 11, 6, 0x00, 0x02, 0x00, 0x03, 0x00, 0x02, 0x12, 0x34, 0xAB, 0xCD}),
       Frame({7, 0x15, 11, 6, 0x00, 0x02, 0x00, 0x03, 0x00, 0x02, 0x12, 0x34, 0xAB, 0xCD}),
       {}},
      {"highest register",
       ProgramStyle::Downloader,
       [](LinkHandle* h, uint16_t* w) { return ReadRegisters(h, 65536, 1, w); },
       Frame({7, 0x03, 0xFF, 0xFF, 0x00, 0x01}),
       Frame({7, 0x03, 2, 0x00, 0x09}),
       {0x0009}},
  };
  size_t sent = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetProgramStyle(c.style);
    peer_.QueueReply(c.reply);
    uint16_t words[4] = {};
    EXPECT_EQ(c.operation(link_, words), 1) << LinkMessage(link_);
    std::vector<Bytes> requests = peer_.Requests();
    ASSERT_EQ(requests.size(), ++sent);
    EXPECT_EQ(requests.back(), c.request);
    EXPECT_EQ(std::vector<uint16_t>(words, words + c.words.size()), c.words);
  }
}

// The unit byte is the low byte of the unit address.
TEST(ModbusTcpOpen, UnitIsTheLowByteAndNamesResolve) {
  FakePeer peer;
  ASSERT_TRUE(peer.listening());
  LinkHandle* link = OpenModbusTCP("localhost", peer.port(), 0x0105);
  ASSERT_NE(link, nullptr);
  EXPECT_STREQ(LinkMessage(link), "");
  peer.QueueReply(Frame({5, 0x03, 2, 0x00, 0x2A}));
  uint16_t word = 0;
  EXPECT_EQ(ReadRegisters(link, 1, 1, &word), 1) << LinkMessage(link);
  EXPECT_EQ(word, 42);
  EXPECT_EQ(peer.Requests().at(0).at(6), 5);
  EXPECT_EQ(CloseLink(link), 1);
  EXPECT_STREQ(LinkMessage(link), "Handle not valid");
  EXPECT_EQ(ReadRegisters(link, 1, 1, &word), 0);
}

TEST(ModbusTcpOpen, FailuresGiveNoHandle) {
  uint16_t free_port;
  {
    auto listener = platform::TcpListener::Listen(0, nullptr);
    ASSERT_NE(listener, nullptr);
    free_port = listener->port();
  }
  EXPECT_EQ(OpenModbusTCP("127.0.0.1", free_port, 1), nullptr);  // nobody listens
  EXPECT_EQ(OpenModbusTCP("", 502, 1), nullptr);                 // no such host
  EXPECT_EQ(OpenModbusTCP(nullptr, 502, 1), nullptr);
}

TEST_F(ModbusTcp, ReplyChecksInOrder) {
  struct Case {
    Bytes reply;
    const char* message;
  } cases[] = {
      {Frame({8, 0x03, 4, 0, 1, 0, 2}), "Reply drop doesn't match query"},
      {Frame({8, 0x83, 2}), "Reply drop doesn't match query"},
      {Frame({7, 0x83, 2}), "ILLEGAL DATA ADDRESS"},
      {Frame({7, 0x83, 11}), "DOWNSTREAM DEVICE DIDN'T RESPOND"},
      {Frame({7, 0x83, 0}), "Modbus error reply 0"},
      {Frame({7, 0x83, 32}), "Modbus error reply 32"},
      {Frame({7, 0x84, 2}), "Reply opcode doesn't match query"},
      {Frame({7, 0x04, 4, 0, 1, 0, 2}), "Reply opcode doesn't match query"},
      {Frame({7, 0x03, 6, 0, 1, 0, 2, 0, 3}), "Reply length 6 doesn't match query 2"},
      {Frame({7, 0x03, 2, 0, 1}), "Reply length 2 doesn't match query 2"},
      // The count byte agrees but the words are missing: never invented.
      {Frame({7, 0x03, 4, 0, 1}), "Reply length 2 doesn't match query 2"},
      {Frame({7, 0x03}), "Reply length 0 doesn't match query 2"},
      {Frame({}), "Reply drop doesn't match query"},
  };
  for (const Case& c : cases) {
    peer_.QueueReply(c.reply);
    EXPECT_EQ(ReadRegisters(link_, 1, 2, words_), 0);
    EXPECT_STREQ(LinkMessage(link_), c.message);
  }
}

TEST_F(ModbusTcp, FileRecordAndWriteReplyChecks) {
  const uint16_t word = 1;
  peer_.QueueReply(Frame({7, 0x14, 4, 3, 6, 0, 1}));  // 2 records asked, 1 came
  EXPECT_EQ(ReadFileRecords(link_, 1, 0, 2, words_), 0);
  EXPECT_STREQ(LinkMessage(link_), "Reply length 4 doesn't match query 2");
  peer_.QueueReply(Frame({7, 0x94, 4}));
  EXPECT_EQ(Read3XRegisters(link_, 1, 0, 1, words_), 0);
  EXPECT_STREQ(LinkMessage(link_), "SLAVE DEVICE FAILURE");
  peer_.QueueReply(Frame({7, 0x90, 3}));
  EXPECT_EQ(WriteRegisters(link_, 1, 1, &word), 0);
  EXPECT_STREQ(LinkMessage(link_), "ILLEGAL DATA VALUE");
  peer_.QueueReply(Frame({7, 0x95, 1}));
  EXPECT_EQ(WriteFileRecords(link_, 1, 0, 1, &word), 0);
  EXPECT_STREQ(LinkMessage(link_), "ILLEGAL FUNCTION");
}

// A write reply echoes the function, the starting address and the quantity
// (a file-record write: the whole request), at the length the protocol
// gives it; anything else did not store what was sent.
TEST_F(ModbusTcp, WriteRepliesAreChecked) {
  const uint16_t two_words[2] = {0x1234, 0xABCD};
  auto write_registers = [&] { return WriteRegisters(link_, 0x0102, 2, two_words); };
  auto write_records = [&] { return WriteFileRecords(link_, 2, 3, 2, two_words); };
  const Bytes record_echo = {7, 0x15, 11, 6, 0, 2, 0, 3, 0, 2, 0x12, 0x34, 0xAB, 0xCD};
  struct Case {
    const char* name;
    std::function<int()> write;
    Bytes reply;
    const char* message;  // null: the write succeeds
  } cases[] = {
      {"register write", write_registers, Frame({7, 0x10, 0x01, 0x01, 0, 2}), nullptr},
      {"function only", write_registers, Frame({7, 0x10}), "Reply length 0 doesn't match query 2"},
      {"other starting address", write_registers, Frame({7, 0x10, 0x01, 0x02, 0, 2}),
       "Reply length 4 doesn't match query 2"},
      {"other quantity", write_registers, Frame({7, 0x10, 0x01, 0x01, 0, 1}),
       "Reply length 1 doesn't match query 2"},
      {"one byte too many", write_registers, Frame({7, 0x10, 0x01, 0x01, 0, 2, 0}),
       "Reply length 5 doesn't match query 2"},
      {"other function", write_registers, Frame({7, 0x03, 0x01, 0x01, 0, 2}),
       "Reply opcode doesn't match query"},
      {"file-record write", write_records, Frame(record_echo), nullptr},
      {"file-record reply cut short", write_records,
       Frame(Bytes(record_echo.begin(), record_echo.end() - 2)),
       "Reply length 10 doesn't match query 2"},
      {"file-record reply names another record", write_records,
       Frame({7, 0x15, 11, 6, 0, 2, 0, 4, 0, 2, 0x12, 0x34, 0xAB, 0xCD}),
       "Reply length 12 doesn't match query 2"},
      {"file-record reply of the function only", write_records, Frame({7, 0x15}),
       "Reply length 0 doesn't match query 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    peer_.QueueReply(c.reply);
    EXPECT_EQ(c.write(), c.message ? 0 : 1) << LinkMessage(link_);
    if (c.message) {
      EXPECT_STREQ(LinkMessage(link_), c.message);
    }
  }
  // Every request still carries transaction identifier 0.
  for (const Bytes& request : peer_.Requests()) {
    EXPECT_EQ(request.at(0), 0);
    EXPECT_EQ(request.at(1), 0);
  }
}

// A server that sends every request back whole stores nothing: a register
// write must not pass; the largest file-record write, whose echo is the
// right reply, fits the reply buffer.
TEST_F(ModbusTcp, EchoingServerFailsRegisterWrites) {
  peer_.EchoRequests(true);
  uint16_t block[128] = {};
  EXPECT_EQ(WriteRegisters(link_, 1, 120, block), 0);
  EXPECT_STREQ(LinkMessage(link_), "Reply length 245 doesn't match query 120");
  EXPECT_EQ(WriteFileRecords(link_, 1, 0, 128, block), 1) << LinkMessage(link_);
}

TEST_F(ModbusTcp, LargestReadsFitTheReplyBuffer) {
  for (uint32_t count : {125u, 128u}) {
    Bytes pdu = {7, 0x03, static_cast<uint8_t>(2 * count)};
    for (uint32_t i = 0; i < count; ++i) {
      pdu.push_back(static_cast<uint8_t>(i >> 8));
      pdu.push_back(static_cast<uint8_t>(i));
    }
    peer_.QueueReply(Frame(pdu));
    int result = ReadRegisters(link_, 1, count, words_);
    if (count == 125) {
      ASSERT_EQ(result, 1) << LinkMessage(link_);
      EXPECT_EQ(words_[124], 124);
    } else {
      // 256 does not fit the count byte: the reply cannot match.
      EXPECT_EQ(result, 0);
      EXPECT_STREQ(LinkMessage(link_), "Reply length 0 doesn't match query 128");
    }
  }
}

TEST_F(ModbusTcp, ReplyInPiecesIsAssembled) {
  PollGate gate;
  active_gate = &gate;
  peer_.UseGate(&gate);
  ASSERT_EQ(SetWaitCallback(link_, CountPolls, 0), 1);
  Bytes reply = Frame({7, 0x03, 4, 0x11, 0x22, 0x33, 0x44});
  peer_.Queue(
      {{Bytes(reply.begin(), reply.begin() + 3), Bytes(reply.begin() + 3, reply.begin() + 6),
        Bytes(reply.begin() + 6, reply.begin() + 9), Bytes(reply.begin() + 9, reply.end())},
       Answer::Then::kStay});
  EXPECT_EQ(ReadRegisters(link_, 1, 2, words_), 1) << LinkMessage(link_);
  EXPECT_EQ(words_[0], 0x1122);
  EXPECT_EQ(words_[1], 0x3344);
  peer_.UseGate(nullptr);
}

TEST_F(ModbusTcp, StaleBytesAreDiscardedBeforeTheNextRequest) {
  Bytes good = Frame({7, 0x03, 2, 0x00, 0x01});
  Bytes stale = Frame({7, 0x03, 2, 0x66, 0x66});
  peer_.QueueReply(Concat(good, Concat(stale, {0xEE, 0xEE, 0xEE})));
  EXPECT_EQ(ReadRegisters(link_, 1, 1, words_), 1);
  EXPECT_EQ(words_[0], 0x0001);
  // The first reply's followers are in the socket by the time its request
  // returns (they went in one send); the second request must not take them.
  peer_.QueueReply(Frame({7, 0x03, 2, 0x00, 0x02}));
  EXPECT_EQ(ReadRegisters(link_, 1, 1, words_), 1);
  EXPECT_EQ(words_[0], 0x0002);
}

TEST_F(ModbusTcp, OverlongLengthFieldIsRefused) {
  Bytes overlong = {0, 0, 0, 0, 0xFF, 0xFF, 7, 0x03, 0xFE};
  overlong.resize(1000, 0xAA);
  peer_.QueueReply(overlong);
  EXPECT_EQ(ReadRegisters(link_, 1, 2, words_), 0);
  EXPECT_STREQ(LinkMessage(link_), "Reply message too large");
  // Just past what the largest request can bring back.
  peer_.QueueReply(Concat({0, 0, 0, 0, 0x01, 0x0B}, Bytes(267, 0)));
  EXPECT_EQ(ReadRegisters(link_, 1, 2, words_), 0);
  EXPECT_STREQ(LinkMessage(link_), "Reply message too large");
  peer_.QueueReply(Frame({7, 0x03, 4, 0, 5, 0, 6}));
  EXPECT_EQ(ReadRegisters(link_, 1, 2, words_), 1) << LinkMessage(link_);
  EXPECT_EQ(words_[1], 6);
}

std::atomic<uint32_t> callback_calls{0};
std::atomic<uint32_t> callback_user{0};
uint32_t CountCalls(uint32_t user) {
  callback_user = user;
  ++callback_calls;
  return 1;
}
uint32_t AbandonAtOnce(uint32_t user) {
  callback_user = user;
  ++callback_calls;
  return 0;
}

TEST_F(ModbusTcp, SilentPeerTimesOutAfterAllPolls) {
  SetReplyTimeout(20);
  callback_calls = 0;
  ASSERT_EQ(SetWaitCallback(link_, CountCalls, 0xC0FFEE), 1);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ReadRegisters(link_, 1, 1, words_), 0);
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_STREQ(LinkMessage(link_), "Reply timeout");
  EXPECT_GE(elapsed, std::chrono::milliseconds(200));  // 20 polls of 10 ms
  EXPECT_GE(callback_calls.load(), 20u);               // one call per poll at least
  EXPECT_EQ(callback_user.load(), 0xC0FFEEu);
}

TEST_F(ModbusTcp, CallbackThatAbandonsEndsTheWaitAtOnce) {
  callback_calls = 0;
  ASSERT_EQ(SetWaitCallback(link_, AbandonAtOnce, 3), 1);
  EXPECT_EQ(ReadRegisters(link_, 1, 1, words_), 0);
  EXPECT_STREQ(LinkMessage(link_), "Application idle abort");
  EXPECT_EQ(callback_calls.load(), 1u);
  // Restoring the default callback lets the next request wait for its reply.
  ASSERT_EQ(SetWaitCallback(link_, nullptr, 0), 1);
  peer_.QueueReply(Frame({7, 0x03, 2, 0, 9}));
  EXPECT_EQ(ReadRegisters(link_, 1, 1, words_), 1) << LinkMessage(link_);
  EXPECT_EQ(words_[0], 9);
}

TEST_F(ModbusTcp, PeerThatClosesGivesReplyTimeout) {
  SetReplyTimeout(5);
  peer_.Queue({{}, Answer::Then::kClose});
  EXPECT_EQ(ReadRegisters(link_, 1, 1, words_), 0);
  EXPECT_STREQ(LinkMessage(link_), "Reply timeout");
}

// A reset connection is made again; the failed request is not repeated, the
// next one goes over the new connection.
TEST_F(ModbusTcp, ResetByPeerReconnects) {
  peer_.Queue({{}, Answer::Then::kReset});
  EXPECT_EQ(ReadRegisters(link_, 1, 1, words_), 0);
  EXPECT_STREQ(LinkMessage(link_), "Recv Circuit reset by peer");
  peer_.QueueReply(Frame({7, 0x03, 2, 0x00, 0x05}));
  EXPECT_EQ(ReadRegisters(link_, 1, 1, words_), 1) << LinkMessage(link_);
  EXPECT_EQ(words_[0], 5);
  EXPECT_EQ(peer_.connections(), 2);
}

// A server that never completes the handshake holds neither the open nor a
// reconnect longer than the reply time-out, and the wait callback runs while
// a reconnect waits, so that it can abandon it.
constexpr auto kFailureBound = std::chrono::seconds(60);

TEST(ModbusTcpConnect, OpenGivesUpOnAPeerThatNeverAnswers) {
  auto stalled = platform::StalledTcpListener::Create();
  ASSERT_NE(stalled, nullptr);
  auto open = std::async(std::launch::async,
                         [&] { return OpenModbusTCP("127.0.0.1", stalled->port(), kUnit); });
  ASSERT_EQ(open.wait_for(kFailureBound), std::future_status::ready);
  EXPECT_EQ(open.get(), nullptr);
}

LinkHandle* reconnecting_link = nullptr;
std::atomic<uint32_t> calls_after_failure{0};
// Goes on until the request has failed (its message is set before the
// reconnect), then abandons.
uint32_t AbandonOnceFailed(uint32_t) {
  if (std::strncmp(LinkMessage(reconnecting_link), "Recv ", 5) != 0) return 1;
  ++calls_after_failure;
  return 0;
}
uint32_t CountCallsAfterFailure(uint32_t) {
  if (std::strncmp(LinkMessage(reconnecting_link), "Send ", 5) == 0) ++calls_after_failure;
  return 1;
}

TEST_F(ModbusTcp, ReconnectToAPeerThatNeverAnswersIsBoundedAndAbandoned) {
  auto stalled = platform::StalledTcpListener::Create();
  ASSERT_NE(stalled, nullptr);
  reconnecting_link = link_;
  uint16_t good_port = link_->server_port;
  // The connection is reset and the server stops answering.
  link_->server_port = stalled->port();
  SetReplyTimeout(20);
  peer_.Queue({{}, Answer::Then::kReset});
  ASSERT_EQ(SetWaitCallback(link_, AbandonOnceFailed, 0), 1);
  auto request = std::async(std::launch::async, [&] { return ReadRegisters(link_, 1, 1, words_); });
  ASSERT_EQ(request.wait_for(kFailureBound), std::future_status::ready);
  EXPECT_EQ(request.get(), 0);
  EXPECT_STREQ(LinkMessage(link_), "Application idle abort");
  EXPECT_EQ(calls_after_failure.load(), 1u);

  // Not abandoned, the reconnect ends by itself with the callback running.
  calls_after_failure = 0;
  ASSERT_EQ(SetWaitCallback(link_, CountCallsAfterFailure, 0), 1);
  request = std::async(std::launch::async, [&] { return ReadRegisters(link_, 1, 1, words_); });
  ASSERT_EQ(request.wait_for(kFailureBound), std::future_status::ready);
  EXPECT_EQ(request.get(), 0);
  EXPECT_STREQ(LinkMessage(link_), "Send The socket is not connected");
  EXPECT_GE(calls_after_failure.load(), 1u);

  // The server answers again: the next reconnect succeeds and a later
  // request gets through.
  link_->server_port = good_port;
  peer_.QueueReply(Frame({7, 0x03, 2, 0, 4}));
  int result = 0;
  for (int attempt = 0; attempt < 3 && result == 0; ++attempt)
    result = ReadRegisters(link_, 1, 1, words_);
  EXPECT_EQ(result, 1) << LinkMessage(link_);
  EXPECT_EQ(words_[0], 4);
}

TEST(ModbusTcpRestart, LaterRequestSucceedsAfterServerRestart) {
  auto peer = std::make_unique<FakePeer>();
  ASSERT_TRUE(peer->listening());
  uint16_t port = peer->port();
  LinkHandle* link = OpenModbusTCP("127.0.0.1", port, kUnit);
  ASSERT_NE(link, nullptr);
  link->reply_timeout = 5;
  uint16_t word = 0;
  peer->QueueReply(Frame({7, 0x03, 2, 0, 1}));
  ASSERT_EQ(ReadRegisters(link, 1, 1, &word), 1) << LinkMessage(link);

  peer.reset();  // the server goes away, its connection with it
  peer = std::make_unique<FakePeer>(port);
  ASSERT_TRUE(peer->listening());
  for (int i = 0; i < 10; ++i) peer->QueueReply(Frame({7, 0x03, 2, 0, 2}));
  // The requests on the dead connection fail (and make a new one); a later
  // request gets through.
  int attempts = 0;
  bool succeeded = false;
  while (!succeeded && attempts < 5) {
    ++attempts;
    succeeded = ReadRegisters(link, 1, 1, &word) == 1;
  }
  EXPECT_TRUE(succeeded) << LinkMessage(link);
  EXPECT_EQ(word, 2);
  EXPECT_LE(attempts, 3);
  CloseLink(link);
}

}  // namespace
}  // namespace linklib
