// kxtsim as a process on a pseudo-terminal it creates: a Sy/Max exchange
// through the device path, a reopened device, and paced replies.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
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

struct ProtocolCase {
  const char* protocol;
  std::vector<std::string> extra_args;
  std::string request;
  std::string reply;
};

TEST(KxtsimSerialProcess, EachProtocolAnswersOnThePseudoTerminal) {
  const ProtocolCase cases[] = {
      {"gateway", {}, "A 1\rR 8188 1\r", "\r39312\r"},
      {"ascii", {}, ":01031FFB0001E1\r\n", ":0103029990D1\r\n"},
      {"rtu",
       {},
       std::string("\x01\x03\x1F\xFB\x00\x01\xF2\x2F", 8),
       std::string("\x01\x03\x02\x99\x90\xD2\x78", 7)},
      {"symax",
       {"--crc"},
       std::string("\x10\x01\x11\x30\x31\x10\x02\x02\x09\x00\xC6\x10\x10\x10\x10\xFF\xFF"
                   "\x10\x03\x32\xED",
                   21),
       std::string("\x10\x11\x10\x01\x11\x30\x31\x10\x02\x80\x09\x00\xC6\x10\x03\x47\x43", 17)},
  };
  for (const ProtocolCase& c : cases) {
    std::vector<std::string> args = {"--serial", c.protocol, "--baud", "57600"};
    args.insert(args.end(), c.extra_args.begin(), c.extra_args.end());
    auto sim = testsupport::SimProcess::Start(args);
    ASSERT_TRUE(sim) << c.protocol;
    auto line = OpenLine(sim->device_path(), 57600);
    ASSERT_TRUE(line);
    Send(*line, Bytes(c.request.begin(), c.request.end()));
    Bytes reply = Receive(*line, c.reply.size());
    EXPECT_EQ(std::string(reply.begin(), reply.end()), c.reply) << c.protocol;
  }
}

}  // namespace
