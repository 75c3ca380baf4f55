// The serial device layer on an in-process pseudo-terminal pair.
#include "platform/serial_device.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <vector>

#include "platform/event.h"
#include "platform/pty_pair.h"

namespace platform {
namespace {

using std::chrono::milliseconds;

class SerialDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.valid());
    int error = -1;
    device_ = SerialDevice::Open(pty_.slave_path().c_str(), Access::ReadWrite, true, &error);
    ASSERT_NE(device_, nullptr);
    EXPECT_EQ(error, 0);
  }

  PtyPair pty_;
  std::unique_ptr<SerialDevice> device_;
};

TEST(SerialDeviceOpen, FailuresGiveTheirErrno) {
  int error = 0;
  EXPECT_EQ(SerialDevice::Open("/dev/no-such-serial-port", Access::ReadWrite, true, &error),
            nullptr);
  EXPECT_EQ(error, ENOENT);
  EXPECT_EQ(SerialDevice::Open("/dev/null", Access::ReadWrite, true, &error), nullptr);
  EXPECT_EQ(error, ENOTTY);
}

TEST_F(SerialDeviceTest, SecondExclusiveOpenIsRefused) {
  EXPECT_TRUE(device_->is_pseudo_terminal());
  int error = 0;
  EXPECT_EQ(SerialDevice::Open(pty_.slave_path().c_str(), Access::ReadWrite, true, &error),
            nullptr);
  EXPECT_EQ(error, EBUSY);
  // A shared open (the terminal emulator's) is not kept out.
  EXPECT_NE(SerialDevice::Open(pty_.slave_path().c_str(), Access::ReadWrite, false, &error),
            nullptr);
}

TEST_F(SerialDeviceTest, EveryBaudRateOfTheTableReadsBack) {
  for (uint32_t baud :
       {50u,   75u,   110u,  134u,  150u,   300u,   600u,   1200u,  1800u,   2400u,
        3600u, 4800u, 7200u, 9600u, 14400u, 19200u, 38400u, 57600u, 115200u, 9600u}) {
    LineSettings wanted;
    wanted.baud = baud;
    LineSettings actual;
    ASSERT_EQ(device_->Configure(wanted, &actual), 0) << baud;
    EXPECT_EQ(actual.baud, baud);
  }
}

TEST_F(SerialDeviceTest, PseudoTerminalKeepsEightBitsNoParityWithoutFailing) {
  for (Parity parity : {Parity::Even, Parity::Odd, Parity::Space, Parity::Mark}) {
    LineSettings wanted;
    wanted.parity = parity;
    wanted.data_bits = 7;
    wanted.stop_bits = 2;
    LineSettings actual;
    ASSERT_EQ(device_->Configure(wanted, &actual), 0);
    EXPECT_EQ(actual.parity, Parity::None);
    EXPECT_EQ(actual.data_bits, 8);
    EXPECT_EQ(actual.stop_bits, 2);  // stored, though it changes nothing
  }
}

TEST(BitsPerCharacter, CountsStartDataParityAndStopBits) {
  LineSettings line;
  EXPECT_EQ(BitsPerCharacter(line), 11);  // 8E1
  line.parity = Parity::None;
  EXPECT_EQ(BitsPerCharacter(line), 10);
  line.data_bits = 7;
  line.stop_bits = 2;
  line.parity = Parity::Mark;
  EXPECT_EQ(BitsPerCharacter(line), 11);
}

// Raw mode: no byte is translated, swallowed or echoed in either direction.
TEST_F(SerialDeviceTest, EveryByteValueCrossesUnchanged) {
  ASSERT_EQ(device_->Configure(LineSettings{}, nullptr), 0);
  std::vector<uint8_t> bytes(256);
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<uint8_t>(i);

  ASSERT_EQ(device_->Write(bytes.data(), bytes.size()).count, bytes.size());
  std::vector<uint8_t> at_far_end(256);
  EXPECT_EQ(pty_.ReadMaster(at_far_end.data(), 256, milliseconds(5000)), 256u);
  EXPECT_EQ(at_far_end, bytes);

  ASSERT_TRUE(pty_.WriteMaster(bytes.data(), bytes.size()));
  std::vector<uint8_t> received;
  auto deadline = std::chrono::steady_clock::now() + milliseconds(5000);
  while (received.size() < 256 && std::chrono::steady_clock::now() < deadline) {
    device_->Wait(nullptr, true, false, deadline);
    uint8_t buffer[256];
    IoResult result = device_->Read(buffer, sizeof buffer);
    received.insert(received.end(), buffer, buffer + result.count);
  }
  EXPECT_EQ(received, bytes);
  uint8_t none[1];
  EXPECT_EQ(pty_.ReadMaster(none, 1, milliseconds(0)), 0u);  // nothing echoed
  EXPECT_EQ(device_->Read(none, 1).error, EAGAIN);
}

TEST_F(SerialDeviceTest, WaitEndsOnEventDeadlineAndHangUp) {
  Event wake;
  ASSERT_TRUE(wake.valid());
  wake.Signal();
  EXPECT_TRUE(device_->Wait(&wake, true, false, std::nullopt).woken);
  wake.Clear();
  WaitResult quiet =
      device_->Wait(&wake, true, false, std::chrono::steady_clock::now() + milliseconds(5));
  EXPECT_FALSE(quiet.woken || quiet.readable);

  pty_.CloseSlave();
  pty_.CloseMaster();
  EXPECT_TRUE(device_->Wait(&wake, true, false, std::nullopt).hangup);
  uint8_t byte;
  IoResult result = device_->Read(&byte, 1);
  EXPECT_TRUE(result.end_of_file || result.error == EIO);
}

TEST_F(SerialDeviceTest, ModemLinesAreRefusedOnAPseudoTerminal) {
  EXPECT_NE(device_->SetRts(true), 0);
  EXPECT_NE(device_->EnableRtsOnSend(), 0);
  EXPECT_EQ(device_->OutputPending(), 0);
}

}  // namespace
}  // namespace platform
