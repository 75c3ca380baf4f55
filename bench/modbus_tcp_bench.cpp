// Register read requests per second over Modbus TCP on loopback against
// kxtsim, for 1, 20 and 125 registers, beside a libmodbus client against the
// same kxtsim in the same run; and the time of a 4999-word write in blocks of
// 100 registers, beside the same writes through libmodbus.
//
// The two clients take turns, several rounds each, and the best round of
// each counts (the least disturbed by the rest of the machine).
//
//   build/bin/modbus_tcp_bench [seconds per round, default 1] [rounds, default 3]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "link/link.h"
#include "tests/support/sim_process.h"

#ifdef KXT_HAVE_LIBMODBUS
#include <modbus.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint16_t kUnit = 1;
// Plain storage in kxtsim's map, clear of the program area and its controls.
constexpr uint32_t kFirstRegister = 10001;
constexpr uint32_t kDownloadWords = 4999;
constexpr uint32_t kBlock = 100;

// Requests per second of `request` over `seconds`; 0 when one failed.
double RequestRate(const std::function<bool()>& request, double seconds) {
  auto start = Clock::now();
  auto end =
      start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  long done = 0;
  while (Clock::now() < end) {
    for (int i = 0; i < 50; ++i) {
      if (!request()) return 0;
      ++done;
    }
  }
  return done / std::chrono::duration<double>(Clock::now() - start).count();
}

// Milliseconds of one 4999-word write in blocks; -1 when a block failed.
double DownloadTime(
    const std::function<bool(uint32_t first, uint32_t count, const uint16_t* words)>& write,
    const std::vector<uint16_t>& words) {
  auto start = Clock::now();
  for (uint32_t sent = 0; sent < words.size(); sent += kBlock) {
    uint32_t count = std::min<uint32_t>(kBlock, static_cast<uint32_t>(words.size()) - sent);
    if (!write(kFirstRegister + sent, count, words.data() + sent)) return -1;
  }
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Client {
  std::function<bool(uint32_t count)> read;
  std::function<bool(uint32_t first, uint32_t count, const uint16_t* words)> write;
};

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 1.0;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  auto simulator = testsupport::SimProcess::Start({"--tcp", "0"});
  if (!simulator) {
    std::fprintf(stderr, "kxtsim did not start\n");
    return 1;
  }
  const uint16_t port = static_cast<uint16_t>(simulator->tcp_port());

  linklib::LinkHandle* link = linklib::OpenModbusTCP("127.0.0.1", port, kUnit);
  if (!link) {
    std::fprintf(stderr, "cannot open the link\n");
    return 1;
  }
  uint16_t buffer[128];
  std::vector<Client> clients;
  std::vector<const char*> names;
  clients.push_back({[&](uint32_t count) {
                       return linklib::ReadRegisters(link, kFirstRegister, count, buffer) == 1;
                     },
                     [&](uint32_t first, uint32_t count, const uint16_t* words) {
                       return linklib::WriteRegisters(link, first, count, words) == 1;
                     }});
  names.push_back("link");

#ifdef KXT_HAVE_LIBMODBUS
  modbus_t* reference = modbus_new_tcp("127.0.0.1", port);
  if (!reference || modbus_connect(reference) != 0) {
    std::fprintf(stderr, "libmodbus cannot connect\n");
    return 1;
  }
  modbus_set_slave(reference, kUnit);
  clients.push_back(
      {[&](uint32_t count) {
         return modbus_read_registers(reference, kFirstRegister - 1, static_cast<int>(count),
                                      buffer) == static_cast<int>(count);
       },
       [&](uint32_t first, uint32_t count, const uint16_t* words) {
         return modbus_write_registers(reference, static_cast<int>(first - 1),
                                       static_cast<int>(count), words) == static_cast<int>(count);
       }});
  names.push_back("libmodbus");
#endif

  std::printf("Modbus TCP against kxtsim on loopback, %d rounds of %.1f s, best round\n", rounds,
              seconds);
  std::printf("%-22s %14s %14s %8s\n", "read requests/s", names[0],
              clients.size() > 1 ? names[1] : "-", "ratio");
  for (uint32_t count : {1u, 20u, 125u}) {
    std::vector<double> best(clients.size(), 0);
    for (int round = 0; round < rounds; ++round) {
      for (size_t c = 0; c < clients.size(); ++c) {
        double rate = RequestRate([&] { return clients[c].read(count); }, seconds);
        if (rate == 0) {
          std::fprintf(stderr, "%s: a read of %u registers failed (%s)\n", names[c], count,
                       c == 0 ? linklib::LinkMessage(link) : "");
          return 1;
        }
        best[c] = std::max(best[c], rate);
      }
    }
    if (clients.size() > 1)
      std::printf("%3u registers %8s %14.0f %14.0f %7.1f%%\n", count, "", best[0], best[1],
                  100.0 * best[0] / best[1]);
    else
      std::printf("%3u registers %8s %14.0f\n", count, "", best[0]);
  }

  std::vector<uint16_t> words(kDownloadWords);
  for (size_t i = 0; i < words.size(); ++i) words[i] = static_cast<uint16_t>(i * 7 + 1);
  std::printf("%-22s %14s %14s %8s\n", "4999-word write (ms)", names[0],
              clients.size() > 1 ? names[1] : "-", "ratio");
  std::vector<double> best(clients.size(), 1e18);
  for (int round = 0; round < std::max(rounds, 5); ++round) {
    for (size_t c = 0; c < clients.size(); ++c) {
      double ms = DownloadTime(clients[c].write, words);
      if (ms < 0) {
        std::fprintf(stderr, "%s: a block write failed\n", names[c]);
        return 1;
      }
      best[c] = std::min(best[c], ms);
    }
  }
  // The words written must be the words the module holds.
  for (uint32_t at = 0; at < words.size(); at += 125) {
    uint32_t count = std::min<uint32_t>(125, static_cast<uint32_t>(words.size()) - at);
    if (linklib::ReadRegisters(link, kFirstRegister + at, count, buffer) != 1 ||
        !std::equal(buffer, buffer + count, words.begin() + at)) {
      std::fprintf(stderr, "the written words did not read back\n");
      return 1;
    }
  }
  if (clients.size() > 1)
    std::printf("%-22s %14.2f %14.2f %7.1f%%\n", "50 blocks of 100", best[0], best[1],
                100.0 * best[1] / best[0]);
  else
    std::printf("%-22s %14.2f\n", "50 blocks of 100", best[0]);

  linklib::CloseLink(link);
#ifdef KXT_HAVE_LIBMODBUS
  modbus_close(reference);
  modbus_free(reference);
#endif
  return 0;
}
