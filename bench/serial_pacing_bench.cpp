// How closely the serial worker's writes follow the wire time: a stream of
// bytes pulled from the transmit source in 8-byte writes (Sy/Max) and
// 258-byte writes (the other kinds) over a pseudo-terminal pair, from the
// kick to the end of the last write, beside n x bits-per-character / baud.
//
//   build/bin/serial_pacing_bench [bytes]
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "link/link.h"
#include "link/serial_port.h"
#include "platform/pty_pair.h"

namespace {

using Clock = std::chrono::steady_clock;

std::mutex lock;
std::condition_variable changed;
size_t to_send = 0;
size_t sent = 0;
bool done = false;

uint16_t ServeBytes(linklib::LinkHandle* h) {
  std::lock_guard<std::mutex> guard(lock);
  if (sent < to_send) return static_cast<uint16_t>(sent++ & 0xFF);
  if (h->tx_staged == 0) {
    done = true;
    changed.notify_all();
  }
  return linklib::kNothingToSend;
}

void IgnoreByte(linklib::LinkHandle*, uint8_t) {}

// Reads the far end so that the pseudo-terminal never fills.
void DrainFarEnd(platform::PtyPair* pty, size_t bytes) {
  std::vector<uint8_t> buffer(bytes);
  pty->ReadMaster(buffer.data(), bytes, std::chrono::seconds(120));
}

double Measure(uint32_t kind, uint32_t baud, size_t bytes) {
  platform::PtyPair pty;
  linklib::LinkHandle* link =
      linklib::OpenSerialLink(pty.slave_path().c_str(), 0, nullptr, IgnoreByte, ServeBytes, kind);
  if (!link) return -1;
  linklib::SetPortMode(link, baud, 1, 1, 500, 8);
  {
    std::lock_guard<std::mutex> guard(lock);
    to_send = bytes;
    sent = 0;
    done = false;
  }
  std::thread reader(DrainFarEnd, &pty, bytes);
  Clock::time_point start = Clock::now();
  linklib::KickTransmitter(link);
  {
    std::unique_lock<std::mutex> guard(lock);
    changed.wait(guard, [] { return done; });
  }
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  reader.join();
  linklib::CloseLink(link);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  size_t bytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 2000;
  std::printf("%-8s %7s %7s %10s %10s %7s\n", "writes", "baud", "bytes", "wire s", "took s",
              "ratio");
  for (uint32_t kind : {linklib::kKindSymax, linklib::kKindGateway}) {
    for (uint32_t baud : {9600u, 19200u, 115200u}) {
      size_t n = bytes * baud / 9600 / (baud > 19200 ? 4 : 1);
      double wire = static_cast<double>(n) * 11 / baud;  // 8,E,1
      double took = Measure(kind, baud, n);
      std::printf("%-8s %7u %7zu %10.4f %10.4f %7.4f\n",
                  kind == linklib::kKindSymax ? "8 B" : "258 B", baud, n, wire, took, took / wire);
    }
  }
  return 0;
}
