// Download of a full channel (4999 words) over Sy/Max on kxtsim's
// pseudo-terminal at 9600 and 19200 baud, written through WriteRegisters in
// the downloader's block pattern (blocks of 100 words from register 2051),
// beside the wire time of the bytes that had to cross: request frames, the
// module's acknowledgements and reply frames, and our acknowledgements, at
// 11 bits per character (8 data bits, even parity, 1 stop bit).
//
//   build/bin/symax_download_bench

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "link/link.h"
#include "tests/support/sim_process.h"

namespace {

constexpr int kProgramWords = 4999;
constexpr int kBlockWords = 100;
constexpr int kFirstProgramRegister = 2051;
constexpr int kBitsPerCharacter = 11;

// Bytes of a Sy/Max frame with an empty route and the block check: DLE SOH,
// sequence, DLE STX, the data with every DLE doubled, DLE ETX, check byte.
size_t FrameBytes(const std::vector<uint8_t>& data) {
  size_t n = 3 + 2 + 2 + 1;
  for (uint8_t b : data) n += (b == 0x10) ? 2 : 1;
  return n;
}

void Put(std::vector<uint8_t>& data, uint16_t word) {
  data.push_back(static_cast<uint8_t>(word >> 8));
  data.push_back(static_cast<uint8_t>(word & 0xFF));
}

struct Figures {
  double seconds = 0;
  double wire_seconds = 0;
  size_t characters = 0;
  bool ok = false;
};

Figures RunDownload(uint32_t baud, const std::vector<uint16_t>& program) {
  Figures figures;
  auto sim = testsupport::SimProcess::Start(
      {"--serial", "symax", "--baud", std::to_string(baud), "--parity", "E"});
  if (!sim) {
    std::fprintf(stderr, "kxtsim did not start\n");
    return figures;
  }
  linklib::Route route{};
  linklib::LinkHandle* link = linklib::OpenSymax(sim->device_path().c_str(), 0, &route);
  if (!link) {
    std::fprintf(stderr, "cannot open %s\n", sim->device_path().c_str());
    return figures;
  }
  linklib::SetPortMode8(link, baud, 1, 1, 500);
  const uint16_t select[2] = {1, 0};
  linklib::WriteRegisters(link, 2049, 2, select);

  uint8_t transnum = 1;  // the select above used transaction 0
  auto start = std::chrono::steady_clock::now();
  for (int at = 0; at < kProgramWords; at += kBlockWords) {
    int words = std::min(kBlockWords, kProgramWords - at);
    uint32_t first = static_cast<uint32_t>(kFirstProgramRegister + at);
    if (linklib::WriteRegisters(link, first, static_cast<uint32_t>(words), &program[at]) != words) {
      std::fprintf(stderr, "write at %u failed: %s\n", first, linklib::LinkMessage(link));
      linklib::CloseLink(link);
      return figures;
    }
    std::vector<uint8_t> request = {0x02, transnum};
    Put(request, static_cast<uint16_t>(2 * (first - 1)));
    for (int i = 0; i < words; ++i) Put(request, program[at + i]);
    Put(request, 0xFFFF);
    // kxtsim answers a write with 0x80, the transaction and the byte address.
    std::vector<uint8_t> reply = {0x80, transnum};
    Put(reply, static_cast<uint16_t>(2 * (first - 1)));
    figures.characters += FrameBytes(request) + 2 + FrameBytes(reply) + 2;
    ++transnum;
  }
  figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  figures.wire_seconds = static_cast<double>(figures.characters) * kBitsPerCharacter / baud;
  figures.ok = true;
  linklib::CloseLink(link);
  return figures;
}

}  // namespace

int main() {
  std::vector<uint16_t> program(kProgramWords);
  uint32_t seed = 1;
  for (uint16_t& w : program) {
    seed = seed * 1103515245u + 12345u;
    w = static_cast<uint16_t>(seed >> 12);
  }
  std::printf("Sy/Max download of %d words in blocks of %d, kxtsim on a pseudo-terminal\n",
              kProgramWords, kBlockWords);
  std::printf("%8s %10s %12s %10s %8s\n", "baud", "chars", "wire (s)", "took (s)", "ratio");
  int status = 0;
  for (uint32_t baud : {9600u, 19200u}) {
    Figures f = RunDownload(baud, program);
    if (!f.ok) {
      status = 1;
      continue;
    }
    std::printf("%8u %10zu %12.3f %10.3f %8.3f\n", baud, f.characters, f.wire_seconds, f.seconds,
                f.seconds / f.wire_seconds);
  }
  return status;
}
