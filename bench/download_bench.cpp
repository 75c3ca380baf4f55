// Time of a full-channel download (4999 words) over Modbus TCP against kxtsim
// on loopback, beside the same register writes sent bare through the link
// (the traffic the protocol must move: 50 blocks and the control requests).
//
//   build/bin/download_bench [rounds]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "download/download_sequence.h"
#include "link/link.h"
#include "tests/support/sim_process.h"

namespace {

using Clock = std::chrono::steady_clock;

class SilentFrontEnd : public download::FrontEnd {
 public:
  void ShowProgress(download::ProgressPlace, const char*) override {}
  void ReportError(const char* text) override { std::fprintf(stderr, "%s", text); }
  void ShowErrorBox(const char* text) override { std::fprintf(stderr, "%s", text); }
  void ShowWarning(const char* text) override { std::fprintf(stderr, "%s", text); }
  bool AskQuestion(const char*) override { return false; }
};

double Milliseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

// The requests of one download, sent without the sequence around them.
bool BareWrites(linklib::LinkHandle* link, const std::vector<uint16_t>& words) {
  uint16_t pair[2] = {1, 0};
  uint16_t word = 0;
  bool ok = linklib::WriteRegisters(link, 2049, 2, pair) &&
            linklib::WriteRegisters(link, 8189, 1, pair) &&
            linklib::ReadRegisters(link, 8189, 1, &word) &&
            linklib::ReadRegisters(link, 2, 1, &word);
  for (uint32_t sent = 0; ok && sent < words.size(); sent += 100) {
    uint32_t count = words.size() - sent < 100 ? static_cast<uint32_t>(words.size() - sent) : 100;
    ok = linklib::WriteRegisters(link, 2051 + sent, count, words.data() + sent);
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 20;
  linklib::SetProgramStyle(linklib::ProgramStyle::Downloader);
  auto simulator = testsupport::SimProcess::Start({"--tcp", "0"});
  if (!simulator) {
    std::fprintf(stderr, "kxtsim did not start\n");
    return 1;
  }
  char path[] = "/tmp/download_bench_XXXXXX";
  int fd = mkstemp(path);
  std::vector<uint16_t> words(4999);
  for (size_t i = 0; i < words.size(); ++i) words[i] = static_cast<uint16_t>(i * 7 + 1);
  if (fd < 0 ||
      write(fd, words.data(), words.size() * 2) != static_cast<ssize_t>(words.size() * 2)) {
    std::fprintf(stderr, "cannot write the program file\n");
    return 1;
  }
  close(fd);

  linklib::LinkHandle* link =
      linklib::OpenModbusTCP("127.0.0.1", static_cast<uint16_t>(simulator->tcp_port()), 0);
  if (!link) {
    std::fprintf(stderr, "cannot open the link\n");
    unlink(path);
    return 1;
  }
  SilentFrontEnd front_end;
  download::DownloadParameters parameters;
  parameters.link = link;
  // 4999 words fill the first channel exactly; the full channel then asks to
  // move on, which a count of 2 allows (the file is over by then).
  parameters.channel_count = 2;
  Clock::duration download_time{}, bare_time{};
  bool ok = true;
  for (int round = 0; ok && round < rounds; ++round) {
    download::ProgramFile program;
    ok = program.Open(path);
    Clock::time_point start = Clock::now();
    ok = ok && download::RunDownload(parameters, download::SequenceStyle::Downloader, program,
                                     front_end) == download::DownloadResult::Completed;
    download_time += Clock::now() - start;
    start = Clock::now();
    ok = ok && BareWrites(link, words);
    bare_time += Clock::now() - start;
  }
  linklib::CloseLink(link);
  unlink(path);
  if (!ok) {
    std::fprintf(stderr, "a download failed\n");
    return 1;
  }
  double download_ms = Milliseconds(download_time) / rounds;
  double bare_ms = Milliseconds(bare_time) / rounds;
  std::printf("4999-word download over Modbus TCP (kxtsim, loopback), mean of %d:\n", rounds);
  std::printf("  download sequence : %8.2f ms\n", download_ms);
  std::printf("  bare block writes : %8.2f ms (reference)\n", bare_ms);
  std::printf("  ratio             : %8.2f x reference\n", download_ms / bare_ms);
  return 0;
}
