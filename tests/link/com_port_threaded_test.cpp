// The plain COM port operations over an in-process pseudo-terminal pair; the
// test plays the far end of the line on the master side.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "link/com_port.h"
#include "platform/pty_pair.h"

namespace linklib {
namespace {

constexpr uint32_t kWaitForever = 0xFFFFFFFF;
constexpr auto kFailureBound = std::chrono::milliseconds(10000);

class ComPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.valid());
    ASSERT_EQ(ComOpen(pty_.slave_path().c_str(), 3, 0, &port_), kComSuccess);
    ASSERT_NE(port_, nullptr);
  }
  void TearDown() override {
    if (port_) {
      EXPECT_EQ(ComClose(port_), kComSuccess);
    }
  }

  platform::PtyPair pty_;
  ComPort* port_ = nullptr;
};

TEST(ComOpen, MissingPortsGiveTheirStatus) {
  ComPort* port = nullptr;
  EXPECT_EQ(ComOpen("/dev/no-such-serial-port", 3, 0, &port), kComNoSuchPort);
  EXPECT_EQ(ComOpen("COM0:", 3, 0, &port), kComNoSuchPort);
  EXPECT_EQ(port, nullptr);
  EXPECT_EQ(ComClose(nullptr), kComInvalidHandle);
}

TEST(ComStatus, ErrnoMapsToStatusCodes) {
  struct Case {
    int error;
    uint32_t status;
  };
  for (Case c :
       {Case{ENOENT, 133}, Case{ENODEV, 133}, Case{ENXIO, 133}, Case{EACCES, 142}, Case{EPERM, 142},
        Case{EBUSY, 142}, Case{EBADF, 132}, Case{EIO, 140}, Case{EINVAL, 147}, Case{0, 0}})
    EXPECT_EQ(ComStatusFromErrno(c.error), c.status) << std::strerror(c.error);
}

TEST_F(ComPortTest, ReadWithTimeoutZeroReportsShortTransfer) {
  char buffer[5] = {};
  uint32_t moved = 99;
  EXPECT_EQ(ComRead(port_, 0, 0, 0, buffer, 5, &moved), kComTimeout);
  EXPECT_EQ(moved, 0u);
  ASSERT_TRUE(pty_.WriteMaster("ab", 2));
  // The two bytes are there but not the five asked for.
  uint32_t total = 0;
  for (int tries = 0; tries < 1000 && total < 2; ++tries) {
    EXPECT_EQ(ComRead(port_, 0, 0, 0, buffer + total, 5 - total, &moved), kComTimeout);
    total += moved;
  }
  EXPECT_EQ(total, 2u);
  EXPECT_EQ(std::string(buffer, 2), "ab");
}

TEST_F(ComPortTest, ReadReturnsWhenAllBytesCame) {
  ASSERT_TRUE(pty_.WriteMaster("hello", 5));
  char buffer[5] = {};
  uint32_t moved = 0;
  EXPECT_EQ(ComRead(port_, 0, 0, 500, buffer, 5, &moved), kComSuccess);
  EXPECT_EQ(moved, 5u);
  EXPECT_EQ(std::string(buffer, 5), "hello");
}

TEST_F(ComPortTest, WriteFromAnotherThreadWhileReadWaits) {
  char buffer[4] = {};
  uint32_t read_moved = 0;
  uint32_t read_status = 999;
  std::thread reader(
      [&] { read_status = ComRead(port_, 0, 0, kWaitForever, buffer, 4, &read_moved); });
  // The write goes out while the read is still waiting for its bytes.
  uint32_t written = 0;
  EXPECT_EQ(ComWrite(port_, 0, 0, 100, "\x03xy", 3, &written), kComSuccess);
  EXPECT_EQ(written, 3u);
  char far_end[3] = {};
  EXPECT_EQ(pty_.ReadMaster(far_end, 3, kFailureBound), 3u);
  EXPECT_EQ(std::string(far_end, 3), "\x03xy");
  ASSERT_TRUE(pty_.WriteMaster("done", 4));
  reader.join();
  EXPECT_EQ(read_status, kComSuccess);
  EXPECT_EQ(read_moved, 4u);
  EXPECT_EQ(std::string(buffer, 4), "done");
}

TEST_F(ComPortTest, WriteCompletesAtLineSpeed) {
  ASSERT_EQ(ComSetMode(port_, 9600, 8, 1, 0, 0), kComSuccess);
  char bytes[48] = {};
  uint32_t moved = 0;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ComWrite(port_, 0, 0, 100, bytes, sizeof bytes, &moved), kComSuccess);
  // 9600,N,8,1 is 10 bits a character.
  EXPECT_GE(std::chrono::steady_clock::now() - start,
            std::chrono::microseconds(sizeof bytes * 10 * 1000000 / 9600));
}

TEST_F(ComPortTest, ModeAndRtsWorkOnADeviceWithoutModemLines) {
  for (uint32_t parity : {0u, 1u, 2u, 5u, 6u, 9u})
    EXPECT_EQ(ComSetMode(port_, 19200, 8, 2, parity, 3), kComSuccess) << parity;
  EXPECT_EQ(ComSetRts(port_, 1), kComSuccess);
  EXPECT_EQ(ComSetRts(port_, 0), kComSuccess);
}

TEST_F(ComPortTest, FarEndGoneEndsTheRead) {
  pty_.CloseSlave();
  pty_.CloseMaster();
  char buffer[4];
  uint32_t moved = 0;
  EXPECT_EQ(ComRead(port_, 0, 0, kWaitForever, buffer, 4, &moved), kComEndOfFile);
  EXPECT_EQ(moved, 0u);
}

}  // namespace
}  // namespace linklib
