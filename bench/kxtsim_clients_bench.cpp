// Write+read pairs per second that kxtsim serves on its loopback port with 1,
// 8 and 64 clients at once, each writing and reading back a 40-register block
// of its own. The single client measured in the same run is the reference:
// the ratio says how much several clients gain (or lose) together.
//
//   build/bin/kxtsim_clients_bench [seconds per run, default 2]

#include <cstdio>
#include <cstdlib>

#include "platform/sim_tcp_listener.h"
#include "tests/support/modbus_block_clients.h"
#include "tests/support/sim_process.h"

int main(int argc, char** argv) {
  double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
  if (seconds <= 0) seconds = 2.0;
  auto sim = testsupport::SimProcess::Start({"--tcp", "0"});
  if (!sim) {
    std::fprintf(stderr, "kxtsim did not start\n");
    return 1;
  }
  const uint16_t port = static_cast<uint16_t>(sim->tcp_port());
  double reference = 0;
  int status = 0;
  std::printf("%8s %12s %16s %10s\n", "clients", "pairs/s", "pairs/s/client", "x 1 client");
  for (size_t count : {1, 8, 64}) {
    std::vector<int> clients = testsupport::ConnectClients(port, count, 20000);
    testsupport::LoadResult load = testsupport::RunBlockClients(clients, 40, 0, seconds);
    for (int fd : clients) platform::CloseSocket(fd);
    double rate = load.seconds > 0 ? load.pairs / load.seconds : 0;
    if (count == 1) reference = rate;
    std::printf("%8zu %12.0f %16.0f %10.2f", count, rate,
                clients.empty() ? 0 : rate / clients.size(), reference > 0 ? rate / reference : 0);
    if (clients.size() != count || load.mismatched || load.failed) {
      std::printf("  (%zu connected, %llu mismatched, %llu failed)", clients.size(),
                  static_cast<unsigned long long>(load.mismatched),
                  static_cast<unsigned long long>(load.failed));
      status = 1;
    }
    std::printf("\n");
  }
  return status;
}
