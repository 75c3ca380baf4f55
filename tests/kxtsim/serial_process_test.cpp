// kxtsim as a process on a pseudo-terminal it creates: a Sy/Max exchange
// through the device path, a reopened device, and paced replies.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "platform/descriptor_poll.h"
#include "platform/sim_serial_endpoint.h"
#include "tests/support/sim_process.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::unique_ptr<platform::SerialEndpoint> OpenLine(const std::string& path, uint32_t baud) {
  std::string error;
  auto line = platform::SerialEndpoint::OpenDevice(path, {baud, 'N', 8, 1}, &error);
  EXPECT_TRUE(line) << error;
  return line;
}

void Send(platform::SerialEndpoint& line, const Bytes& bytes) {
  ASSERT_EQ(line.Write(bytes.data(), bytes.size()), static_cast<long>(bytes.size()));
}

// Reads until `count` bytes came (bounded by a generous time). With
// `skip_waiting`, the fillers and enquiries that the module sends while it
// waits for an acknowledgement are left out (the frames here hold neither).
Bytes Receive(platform::SerialEndpoint& line, size_t count, bool skip_waiting = false) {
  Bytes got;
  bool after_dle = false;
  while (got.size() < count && platform::WaitReadable(line.fd(), 5000)) {
    uint8_t byte;
    long n = line.Read(&byte, 1);
    if (n < 0) break;
    if (n == 0) continue;
    if (skip_waiting && byte == 0xFE) continue;
    if (skip_waiting && after_dle && byte == 0x05) {
      got.pop_back();
      after_dle = false;
      continue;
    }
    after_dle = byte == 0x10 && !after_dle;
    got.push_back(byte);
  }
  return got;
}

// Read of register 8188, transaction 5, drop 1, with its check byte.
const Bytes kReadMarker = {0x10, 0x01, 0x11, 0x30, 0x31, 0x10, 0x02, 0x00,
                           0x05, 0x3F, 0xF6, 0x00, 0x00, 0x10, 0x03, 0x2F};
const Bytes kAckAndReply = {0x10, 0x11, 0x10, 0x01, 0x11, 0x30, 0x31, 0x10, 0x02,
                            0x86, 0x05, 0x3F, 0xF6, 0x99, 0x90, 0x10, 0x03, 0x80};

TEST(KxtsimSerialProcess, SymaxExchangeOnItsPseudoTerminal) {
  auto sim = testsupport::SimProcess::Start({"--serial", "symax", "--baud", "115200", "-v"});
  ASSERT_TRUE(sim);
  ASSERT_FALSE(sim->device_path().empty());
  {
    auto line = OpenLine(sim->device_path(), 115200);
    ASSERT_TRUE(line);
    Send(*line, kReadMarker);
    EXPECT_EQ(Receive(*line, kAckAndReply.size()), kAckAndReply);
    Send(*line, {0x10, 0x11});
  }
  // The program on the other side closed the device; a new one is served.
  auto line = OpenLine(sim->device_path(), 115200);
  ASSERT_TRUE(line);
  Bytes second = kReadMarker;
  second[2] = 0x12;          // DC2
  second.back() = 0x2F - 1;  // the check follows the sequence character
  Send(*line, second);
  Bytes reply = Receive(*line, kAckAndReply.size(), true);
  ASSERT_EQ(reply.size(), kAckAndReply.size());
  EXPECT_EQ(reply[1], 0x12);
  EXPECT_EQ(reply[4], 0x12) << "the module's second reply carries DC2";
  EXPECT_TRUE(sim->WaitForOutput("kxtsim: symax read 8188 x1\n", 5000)) << sim->Output();
  EXPECT_EQ(sim->Stop(), 0);
}

TEST(KxtsimSerialProcess, RepliesTakeTheirLineTime) {
  auto sim = testsupport::SimProcess::Start({"--serial", "symax", "--baud", "9600"});
  ASSERT_TRUE(sim);
  auto line = OpenLine(sim->device_path(), 9600);
  ASSERT_TRUE(line);
  // Read 100 registers from 1000: the reply has more than 200 bytes, which
  // take at least 200 x 10 / 9600 s on the line.
  Bytes request = {0x10, 0x01, 0x11, 0x30, 0x31, 0x10, 0x02, 0x00,
                   0x01, 0x07, 0xCE, 0x00, 0x63, 0x10, 0x03};
  uint8_t sum = 0;
  for (size_t i = 2; i < request.size(); ++i) sum = static_cast<uint8_t>(sum + request[i]);
  request.push_back(static_cast<uint8_t>(-sum));
  auto start = std::chrono::steady_clock::now();
  Send(*line, request);
  Bytes reply = Receive(*line, 2 + 11 + 4 + 200 + 3);
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(reply.size(), 220u);
  EXPECT_GE(elapsed, std::chrono::microseconds(220LL * 10 * 1000000 / 9600 - 3000));
}

}  // namespace
