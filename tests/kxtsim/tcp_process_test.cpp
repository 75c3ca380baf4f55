// kxtsim as a process on a loopback port: several clients at once, -v lines,
// a clean stop on SIGTERM.
#include <gtest/gtest.h>

#include <vector>

#include "platform/descriptor_poll.h"
#include "platform/sim_tcp_listener.h"
#include "tests/support/sim_process.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Sends one request and reads the whole reply (bounded by a generous time).
Bytes Exchange(int fd, const Bytes& request) {
  EXPECT_EQ(platform::SendToSocket(fd, request.data(), request.size()),
            static_cast<long>(request.size()));
  Bytes reply;
  while (reply.size() < 6 || reply.size() < 6u + ((reply[4] << 8) | reply[5])) {
    if (!platform::WaitReadable(fd, 5000)) break;
    uint8_t buffer[512];
    long got = platform::ReceiveFromSocket(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    reply.insert(reply.end(), buffer, buffer + got);
  }
  return reply;
}

Bytes WriteRequest(uint8_t transaction, uint16_t reg, uint16_t value) {
  uint16_t address = reg - 1;
  return {0,
          transaction,
          0,
          0,
          0,
          9,
          1,
          0x10,
          uint8_t(address >> 8),
          uint8_t(address),
          0,
          1,
          2,
          uint8_t(value >> 8),
          uint8_t(value)};
}

Bytes ReadRequest(uint8_t transaction, uint16_t reg) {
  uint16_t address = reg - 1;
  return {0, transaction, 0, 0, 0, 6, 1, 0x03, uint8_t(address >> 8), uint8_t(address), 0, 1};
}

TEST(KxtsimTcpProcess, ServesSeveralClientsSharingOneModule) {
  auto sim = testsupport::SimProcess::Start({"--tcp", "0", "-v"});
  ASSERT_TRUE(sim);
  ASSERT_GT(sim->tcp_port(), 0);
  int first = platform::ConnectToLoopback(static_cast<uint16_t>(sim->tcp_port()));
  int second = platform::ConnectToLoopback(static_cast<uint16_t>(sim->tcp_port()));
  ASSERT_GE(first, 0);
  ASSERT_GE(second, 0);

  EXPECT_EQ(Exchange(first, WriteRequest(1, 300, 0xCAFE)),
            (Bytes{0, 1, 0, 0, 0, 6, 1, 0x10, 0x01, 0x2B, 0, 1}));
  EXPECT_EQ(Exchange(second, ReadRequest(2, 300)),
            (Bytes{0, 2, 0, 0, 0, 5, 1, 0x03, 2, 0xCA, 0xFE}));
  // The first client's connection stays served after the second one leaves.
  platform::CloseSocket(second);
  EXPECT_EQ(Exchange(first, ReadRequest(3, 300)),
            (Bytes{0, 3, 0, 0, 0, 5, 1, 0x03, 2, 0xCA, 0xFE}));
  platform::CloseSocket(first);

  EXPECT_TRUE(sim->WaitForOutput("kxtsim: tcp unit 1 read holding 300 x1\n", 5000))
      << sim->Output();
  EXPECT_EQ(sim->Stop(), 0);
  EXPECT_NE(sim->Output().find("kxtsim: stopped"), std::string::npos);
}

TEST(KxtsimTcpProcess, FaultOptionsReachTheReplies) {
  auto sim = testsupport::SimProcess::Start({"--tcp", "0", "--exception", "4/2", "--no-ident"});
  ASSERT_TRUE(sim);
  int fd = platform::ConnectToLoopback(static_cast<uint16_t>(sim->tcp_port()));
  ASSERT_GE(fd, 0);
  EXPECT_EQ(Exchange(fd, ReadRequest(1, 8188)), (Bytes{0, 1, 0, 0, 0, 5, 1, 0x03, 2, 0, 0}));
  EXPECT_EQ(Exchange(fd, ReadRequest(2, 8188)), (Bytes{0, 2, 0, 0, 0, 3, 1, 0x83, 4}));
  platform::CloseSocket(fd);
}

TEST(KxtsimTcpProcess, BadCommandLineFailsToStart) {
  EXPECT_FALSE(testsupport::SimProcess::Start({"--tcp", "70000"}));
  EXPECT_FALSE(testsupport::SimProcess::Start({"--bogus"}));
}

}  // namespace
