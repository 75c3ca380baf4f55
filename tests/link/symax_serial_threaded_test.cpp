// The Sy/Max link on a real worker and port: the test plays the device at the
// far end of a pseudo-terminal, byte for byte, while a register request
// waits on the caller's thread.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "link/frame_pool.h"
#include "link/link.h"
#include "platform/pty_pair.h"
#include "tests/link/symax_machine.h"

namespace linklib::testing {
namespace {

using std::chrono::milliseconds;

class SymaxOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.valid());
    Route route{};
    link = OpenSymax(pty.slave_path().c_str(), 0, &route);
    ASSERT_NE(link, nullptr);
    SetPortMode8(link, 57600, 0, 1, 500);
  }
  void TearDown() override {
    if (link) CloseLink(link);
  }

  Bytes ReadExactly(size_t n) {
    Bytes bytes(n);
    bytes.resize(pty.ReadMaster(bytes.data(), n, milliseconds(10000)));
    return bytes;
  }

  // Reads the line until `wanted` has gone by; false when it never came.
  bool SkipUntil(const Bytes& wanted) {
    Bytes seen;
    while (seen.size() < 4000) {
      uint8_t b;
      if (pty.ReadMaster(&b, 1, milliseconds(10000)) != 1) return false;
      seen.push_back(b);
      if (seen.size() >= wanted.size() &&
          std::equal(wanted.begin(), wanted.end(), seen.end() - wanted.size()))
        return true;
    }
    return false;
  }

  void Send(const std::string& hex) {
    Bytes bytes = Hex(hex);
    ASSERT_TRUE(pty.WriteMaster(bytes.data(), bytes.size()));
  }

  platform::PtyPair pty;
  LinkHandle* link = nullptr;
};

TEST_F(SymaxOnPty, RequestAcknowledgementReplyAndOurAcknowledgement) {
  std::future<int> read = std::async(std::launch::async, [this] {
    uint16_t words[2] = {};
    int result = ReadRegisters(link, 1, 2, words);
    return result == 2 && words[0] == 0x1234 && words[1] == 0x0010 ? 1 : -result;
  });
  EXPECT_EQ(ToHex(ReadExactly(14)), "10 01 11 10 02 00 00 00 00 00 01 10 03 C9");
  // Acknowledged, then answered: 0x86, transaction 0, two bytes, the words.
  Send("10 11 10 01 11 10 02 86 00 00 00 12 34 00 10 10 10 03 DE");
  EXPECT_TRUE(SkipUntil(Hex("10 11")));  // our acknowledgement, among fillers
  EXPECT_EQ(read.get(), 1) << LinkMessage(link);
}

TEST_F(SymaxOnPty, NakBringsTheFrameAgainAndEnquiryGetsTheLastResponse) {
  std::future<int> write = std::async(std::launch::async, [this] {
    const uint16_t word = 0x0102;
    return WriteRegisters(link, 2, 1, &word);
  });
  const std::string frame = "10 01 11 10 02 02 00 00 02 01 02 FF FF 10 03 C5";
  EXPECT_EQ(ToHex(ReadExactly(16)), frame);
  Send("10 15");
  EXPECT_TRUE(SkipUntil(Hex(frame)));
  Send("10 05");  // nothing received from us yet: NAK comes back
  EXPECT_TRUE(SkipUntil(Hex("10 15")));
  Send("10 11 10 01 12 10 02 80 00 10 03 49");
  EXPECT_TRUE(SkipUntil(Hex("10 12")));
  EXPECT_EQ(write.get(), 1) << LinkMessage(link);
}

// Waits (bounded) until the pool holds `size` buffers: the worker has taken
// one for the frame the peer began.
bool PoolReaches(int size) {
  auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (PoolSize() != size) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(milliseconds(1));
  }
  return true;
}

// Closing gives back every frame the link still holds: one half received
// from the peer, and a request still waiting for its acknowledgement.
TEST_F(SymaxOnPty, CloseGivesEveryHeldFrameBackToThePool) {
  const int pool_open = PoolSize();
  Send("10 01 11 FF 10 02 86 00");  // a frame that never ends
  ASSERT_TRUE(PoolReaches(pool_open - 1));
  SetPortMode8(link, 57600, 0, 1, 2);
  uint16_t word = 0;
  EXPECT_EQ(ReadRegisters(link, 1, 1, &word), 0);  // never acknowledged
  EXPECT_LT(PoolSize(), pool_open);
  ASSERT_EQ(CloseLink(link), 1);
  link = nullptr;
  EXPECT_EQ(PoolSize(), pool_open);
}

}  // namespace
}  // namespace linklib::testing
