// kxtsim under load on its loopback port: many clients connect at once, each
// writes and reads back a block of its own; every one is served and no block
// comes back changed.
#include <gtest/gtest.h>

#include <csignal>

#include "platform/sim_tcp_listener.h"
#include "tests/support/modbus_block_clients.h"
#include "tests/support/sim_process.h"

namespace {

constexpr size_t kClients = 64;
constexpr int kConnectTimeoutMs = 20000;  // a failure bound only

TEST(KxtsimTcpLoad, EveryClientConnectingAtOnceIsServed) {
  auto sim = testsupport::SimProcess::Start({"--tcp", "0"});
  ASSERT_TRUE(sim);
  const uint16_t port = static_cast<uint16_t>(sim->tcp_port());
  // While kxtsim is stopped nothing is accepted, so every connection must
  // wait in the listen queue: all of them fit, none is left unanswered.
  ASSERT_EQ(kill(sim->pid(), SIGSTOP), 0);
  std::vector<int> clients = testsupport::ConnectClients(port, kClients, kConnectTimeoutMs);
  kill(sim->pid(), SIGCONT);
  EXPECT_EQ(clients.size(), kClients);

  testsupport::LoadResult load = testsupport::RunBlockClients(clients, 40, 20, 0);
  EXPECT_EQ(load.mismatched, 0u);
  EXPECT_EQ(load.failed, 0u);
  EXPECT_EQ(load.pairs, clients.size() * 20);
  for (int fd : clients) platform::CloseSocket(fd);
  EXPECT_EQ(sim->Stop(), 0);
}

}  // namespace
