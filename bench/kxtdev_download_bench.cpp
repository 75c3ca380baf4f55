// A full channel (4999 words) through kxtdev's download command, on the
// in-memory console with the keys a user types (the fields accepted, "yes"
// to the full-channel question): over Modbus TCP to kxtsim on loopback,
// beside the same block writes sent bare; and over Sy/Max on kxtsim's
// pseudo-terminal at 19200 baud, beside the wire time of the bytes the
// requests and replies must move (11 bits a character, 8E1). kxtdev writes
// blocks of 64 words, so it moves more frames than kxtload's 100.
//
//   build/bin/kxtdev_download_bench [rounds]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "console/memory_console.h"
#include "console/screen.h"
#include "kxtdev/download.h"
#include "link/link.h"
#include "tests/support/sim_process.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kProgramWords = 4999;
constexpr int kBlockWords = 64;
constexpr uint32_t kBlockLimit = 6922;
constexpr int kBitsPerCharacter = 11;

std::vector<uint16_t> Program() {
  std::vector<uint16_t> words(kProgramWords);
  uint32_t seed = 7;
  for (uint16_t& word : words) {
    seed = seed * 1103515245u + 12345u;
    word = static_cast<uint16_t>(seed >> 12);
  }
  return words;
}

bool WriteProgramFile(const char* name, const std::vector<uint16_t>& words) {
  std::FILE* file = std::fopen(name, "wb");
  if (!file) return false;
  bool ok = std::fwrite(words.data(), 2, words.size(), file) == words.size();
  return std::fclose(file) == 0 && ok;
}

// One download through kxtdev's command; the seconds it took, or -1.
double DownloadThroughKxtdev(linklib::LinkHandle* link) {
  console::MemoryConsole terminal;
  if (!console::InitScreenOn(terminal)) return -1;
  kxtdev::Session session;
  session.setup = kxtdev::StandardDefaultSetup();
  session.link = link;
  std::snprintf(session.work_name, sizeof session.work_name, "BENCH");
  session.compiled = true;
  terminal.Type("\r\r\r");  // channel 1, status register 2, Auto Start NO
  terminal.Type("y");       // Program full. Continue in channel 2?
  const Clock::time_point start = Clock::now();
  kxtdev::DownloadProgram(session, session.work_name);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const bool done = terminal.ScriptDone();
  console::CloseScreen();
  uint16_t length = 0;
  if (!done || !linklib::ReadRegisters(link, 2050, 1, &length) || length != 2 * kProgramWords)
    return -1;
  return seconds;
}

// The block writes alone, as the command sends them.
double BareBlockWrites(linklib::LinkHandle* link, const std::vector<uint16_t>& words) {
  const Clock::time_point start = Clock::now();
  uint32_t next = 2051;
  for (size_t sent = 0; sent < words.size();) {
    uint32_t count = next <= kBlockLimit ? kBlockWords : 7050 - next;
    if (count > words.size() - sent) count = static_cast<uint32_t>(words.size() - sent);
    if (!linklib::WriteRegisters(link, next, count, words.data() + sent)) return -1;
    sent += count;
    next += count;
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Characters of one Sy/Max frame with an empty route: DLE SOH, the route
// byte, DLE STX, the data with DLE doubled, DLE ETX, the check byte.
size_t FrameCharacters(const std::vector<uint8_t>& data) {
  size_t count = 8;
  for (uint8_t byte : data) count += byte == 0x10 ? 2 : 1;
  return count;
}

void PutWord(std::vector<uint8_t>& data, uint16_t word) {
  data.push_back(static_cast<uint8_t>(word >> 8));
  data.push_back(static_cast<uint8_t>(word & 0xFF));
}

// A request, its acknowledgement, the reply and ours (DLE ACK each).
size_t WriteCharacters(uint32_t first, const uint16_t* words, size_t count) {
  std::vector<uint8_t> request = {0x02, 0};
  PutWord(request, static_cast<uint16_t>(2 * (first - 1)));
  for (size_t i = 0; i < count; ++i) PutWord(request, words[i]);
  PutWord(request, 0xFFFF);
  std::vector<uint8_t> reply = {0x80, 0};
  PutWord(reply, static_cast<uint16_t>(2 * (first - 1)));
  return FrameCharacters(request) + 2 + FrameCharacters(reply) + 2;
}

size_t ReadCharacters(uint32_t first, size_t count, uint16_t value) {
  std::vector<uint8_t> request = {0x00, 0};
  PutWord(request, static_cast<uint16_t>(2 * (first - 1)));
  request.push_back(0);
  request.push_back(static_cast<uint8_t>(count - 1));
  std::vector<uint8_t> reply = {0x86, 0};
  for (size_t i = 0; i < count; ++i) PutWord(reply, value);
  return FrameCharacters(request) + 2 + FrameCharacters(reply) + 2;
}

// Everything the command moves for the full channel: erase, status
// register placed and read back, one halt read, the blocks, the move to
// channel 2, the first channel selected again, the length, Auto Start.
size_t DownloadCharacters(const std::vector<uint16_t>& words) {
  const uint16_t erase[2] = {1, 0}, next_channel[2] = {2, 0}, one = 1, two = 2, length = 9998;
  size_t characters = WriteCharacters(2049, erase, 2) + WriteCharacters(8189, &two, 1) +
                      ReadCharacters(8189, 1, 2) + ReadCharacters(2, 1, 0);
  uint32_t next = 2051;
  for (size_t sent = 0; sent < words.size();) {
    uint32_t count = next <= kBlockLimit ? kBlockWords : 7050 - next;
    characters += WriteCharacters(next, words.data() + sent, count);
    sent += count;
    next += count;
  }
  characters += WriteCharacters(2049, next_channel, 2) + WriteCharacters(2049, &one, 1) +
                WriteCharacters(2050, &length, 1) + ReadCharacters(8188, 1, 0x9990) +
                WriteCharacters(8188, &one, 1) + ReadCharacters(8188, 1, 0x9990);
  return characters;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 10;
  linklib::SetProgramStyle(linklib::ProgramStyle::Environment);
  char folder[] = "/tmp/kxtdev_download_bench_XXXXXX";
  if (!mkdtemp(folder) || chdir(folder) != 0) return 1;
  const std::vector<uint16_t> program = Program();
  if (!WriteProgramFile("BENCH.KXB", program)) return 1;
  int status = 0;

  {
    auto sim = testsupport::SimProcess::Start({"--tcp", "0"});
    linklib::LinkHandle* link =
        sim ? linklib::OpenModbusTCP("127.0.0.1", static_cast<uint16_t>(sim->tcp_port()), 1)
            : nullptr;
    double command = 0, bare = 0;
    for (int round = 0; link && round < rounds; ++round) {
      double took = DownloadThroughKxtdev(link);
      double reference = BareBlockWrites(link, program);
      if (took < 0 || reference < 0) {
        status = 1;
        break;
      }
      command += took;
      bare += reference;
    }
    if (!link) status = 1;
    if (link && status == 0) {
      std::printf("4999 words over Modbus TCP to kxtsim (loopback), mean of %d:\n", rounds);
      std::printf("  kxtdev download command : %8.2f ms (goal: under 100 ms)\n",
                  1000 * command / rounds);
      std::printf("  bare 64-word writes    : %8.2f ms (reference)\n", 1000 * bare / rounds);
      std::printf("  ratio                  : %8.2f x reference\n", command / bare);
    }
    if (link) linklib::CloseLink(link);
  }

  if (status == 0) {
    constexpr uint32_t kBaud = 19200;
    auto sim = testsupport::SimProcess::Start(
        {"--serial", "symax", "--baud", std::to_string(kBaud), "--parity", "E"});
    linklib::Route route{};
    linklib::LinkHandle* link =
        sim ? linklib::OpenSymax(sim->device_path().c_str(), 0, &route) : nullptr;
    if (link) linklib::SetPortMode8(link, kBaud, 1, 1, 500);
    double took = link ? DownloadThroughKxtdev(link) : -1;
    if (took < 0) {
      std::fprintf(stderr, "the Sy/Max download failed\n");
      status = 1;
    } else {
      const size_t characters = DownloadCharacters(program);
      const double wire = static_cast<double>(characters) * kBitsPerCharacter / kBaud;
      std::printf("4999 words over Sy/Max on a pseudo-terminal at %u baud:\n", kBaud);
      std::printf("  kxtdev download command : %8.3f s\n", took);
      std::printf("  wire time              : %8.3f s (reference: %zu characters)\n", wire,
                  characters);
      std::printf("  ratio                  : %8.3f x wire time (goal: within 1.10)\n",
                  took / wire);
    }
    if (link) linklib::CloseLink(link);
  }
  unlink("BENCH.KXB");
  if (chdir("/") == 0) rmdir(folder);
  if (status != 0) std::fprintf(stderr, "a download failed\n");
  return status;
}
