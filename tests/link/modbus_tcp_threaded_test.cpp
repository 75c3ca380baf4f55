// The Modbus TCP link against an in-test peer on loopback that answers with
// exactly the bytes each test gives it: requests on the wire, reply checks,
// replies in pieces, stale and overlong replies, silent, closing and
// resetting peers, and a server restart.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "link/link.h"
#include "link/link_handle.h"
#include "platform/descriptor_poll.h"
#include "platform/sim_tcp_listener.h"
#include "platform/tcp_socket.h"

namespace linklib {
namespace {

using Bytes = std::vector<uint8_t>;
using platform::TcpConnection;

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

// What the peer does with the next request.
struct Answer {
  enum class Then { kStay, kClose, kReset };
  std::vector<Bytes> pieces;  // sent one after the other
  Then then = Then::kStay;
};

// Waits, between the pieces of one reply, for the client to poll once more.
class PollGate {
 public:
  void Polled() {
    std::lock_guard<std::mutex> guard(lock_);
    ++polls_;
    changed_.notify_all();
  }
  uint64_t polls() {
    std::lock_guard<std::mutex> guard(lock_);
    return polls_;
  }
  void WaitBeyond(uint64_t polls) {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait_for(guard, std::chrono::seconds(5), [&] { return polls_ > polls; });
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  uint64_t polls_ = 0;
};

PollGate* active_gate = nullptr;

uint32_t CountPolls(uint32_t) {
  if (active_gate) active_gate->Polled();
  return 1;
}

// The peer: accepts connections one at a time and answers each request with
// the next queued answer (none queued: it stays silent).
class FakePeer {
 public:
  explicit FakePeer(uint16_t port = 0) {
    listener_ = platform::TcpListener::Listen(port, nullptr);
    thread_ = std::thread([this] { Run(); });
  }
  ~FakePeer() {
    stop_ = true;
    thread_.join();
  }
  bool listening() const { return listener_ != nullptr; }
  uint16_t port() const { return listener_ ? listener_->port() : 0; }

  void Queue(Answer answer) {
    std::lock_guard<std::mutex> guard(lock_);
    answers_.push_back(std::move(answer));
  }
  void QueueReply(Bytes reply) { Queue({{std::move(reply)}, Answer::Then::kStay}); }
  std::vector<Bytes> Requests() {
    std::lock_guard<std::mutex> guard(lock_);
    return requests_;
  }
  int connections() const { return connections_.load(); }
  void UseGate(PollGate* gate) { gate_ = gate; }

 private:
  void Run() {
    while (listener_ && !stop_) {
      if (!platform::WaitReadable(listener_->fd(), 20)) continue;
      int fd = listener_->Accept();
      if (fd < 0) continue;
      TcpConnection connection(fd);
      ++connections_;
      Serve(connection);
    }
  }

  void Serve(TcpConnection& connection) {
    Bytes request;
    while (ReadRequest(connection, &request)) {
      Answer answer;
      {
        std::lock_guard<std::mutex> guard(lock_);
        requests_.push_back(request);
        if (answers_.empty()) continue;
        answer = std::move(answers_.front());
        answers_.pop_front();
      }
      PollGate* gate = gate_.load();
      for (size_t i = 0; i < answer.pieces.size(); ++i) {
        uint64_t polls = gate ? gate->polls() : 0;
        connection.Send(answer.pieces[i].data(), answer.pieces[i].size(), 5000);
        if (gate && i + 1 < answer.pieces.size()) gate->WaitBeyond(polls);
      }
      if (answer.then == Answer::Then::kClose) return connection.Close();
      if (answer.then == Answer::Then::kReset) return connection.Abort();
    }
  }

  bool ReadExactly(TcpConnection& connection, uint8_t* into, size_t size) {
    size_t have = 0;
    while (have < size) {
      if (stop_) return false;
      size_t got = 0;
      switch (connection.Receive(into + have, size - have, &got)) {
        case TcpConnection::ReceiveStatus::kData:
          have += got;
          break;
        case TcpConnection::ReceiveStatus::kNothing:
          connection.WaitReadable(20);
          break;
        default:
          return false;
      }
    }
    return true;
  }

  bool ReadRequest(TcpConnection& connection, Bytes* request) {
    request->assign(6, 0);
    if (!ReadExactly(connection, request->data(), 6)) return false;
    size_t length = size_t{(*request)[4]} * 256 + (*request)[5];
    request->resize(6 + length);
    return ReadExactly(connection, request->data() + 6, length);
  }

  std::unique_ptr<platform::TcpListener> listener_;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::atomic<PollGate*> gate_{nullptr};
  std::mutex lock_;
  std::deque<Answer> answers_;
  std::vector<Bytes> requests_;
  std::thread thread_;
};

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
  // A write is not checked past its function code.
  peer_.QueueReply(Frame({7, 0x10}));
  EXPECT_EQ(WriteRegisters(link_, 1, 1, &word), 1);
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
  peer_.QueueReply(Concat({0, 0, 0, 0, 0x01, 0x04}, Bytes(260, 0)));
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
