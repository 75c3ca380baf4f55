// The Sy/Max link against kxtsim on a pseudo-terminal: requests with the
// block check and with the CRC, priority on and off, routes, error replies,
// and a line that corrupts, drops and answers busy; then kxtload downloading
// a program over the same kind of link, read back through the link.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "link/link.h"
#include "link/link_handle.h"
#include "tests/support/run_process.h"
#include "tests/support/sim_process.h"

namespace linklib {
namespace {

using testsupport::SimProcess;

// Fast where the rate does not matter. A side that a busy machine holds up
// for longer than the sender's 32 enquiry rounds (about 0.2 s at this rate)
// finds the frame given up: harmless for a good frame, which is still read
// from the line, but a frame that must be sent again is then lost. Tests that
// need retransmissions therefore make the sender patient or the line slow.
constexpr uint32_t kBaud = 19200;

struct LinkSetup {
  bool crc = false;
  bool priority = false;
  uint8_t net_to_net = 0;
  Route route = {};
  std::vector<std::string> faults = {};  // further kxtsim options
  uint16_t reply_timeout = 500;
  uint32_t baud = kBaud;
};

class SymaxLink {
 public:
  explicit SymaxLink(const LinkSetup& setup) {
    std::vector<std::string> args = {"--serial", "symax", "--baud", std::to_string(setup.baud)};
    if (setup.crc) args.push_back("--crc");
    args.insert(args.end(), setup.faults.begin(), setup.faults.end());
    sim = SimProcess::Start(args);
    if (!sim) return;
    link = OpenSymax(sim->device_path().c_str(), setup.net_to_net, &setup.route);
    if (!link) return;
    SetPortMode8(link, setup.baud, 0, 1, setup.reply_timeout);
    SetLinkOptions(link, setup.crc, setup.priority);
  }
  ~SymaxLink() {
    if (link) CloseLink(link);
  }
  bool ready() const { return link != nullptr; }

  std::unique_ptr<SimProcess> sim;
  LinkHandle* link = nullptr;
};

std::vector<uint16_t> Pattern(size_t n, uint16_t seed) {
  std::vector<uint16_t> words(n);
  for (size_t i = 0; i < n; ++i)
    words[i] = static_cast<uint16_t>(seed + i * 0x1011);  // DLE bytes come up often
  return words;
}

TEST(SymaxKxtsim, ReadWriteAndRandomReadWithEveryCheckAndPriority) {
  for (bool crc : {false, true}) {
    for (bool priority : {false, true}) {
      SCOPED_TRACE(std::string(crc ? "CRC" : "BCC") + (priority ? ", priority" : ""));
      SymaxLink t({.crc = crc, .priority = priority});
      ASSERT_TRUE(t.ready());
      std::vector<uint16_t> written = Pattern(128, 0x1010);
      ASSERT_EQ(WriteRegisters(t.link, 300, 128, written.data()), 128) << LinkMessage(t.link);
      std::vector<uint16_t> read(128);
      ASSERT_EQ(ReadRegisters(t.link, 300, 128, read.data()), 128) << LinkMessage(t.link);
      EXPECT_EQ(read, written);
      ASSERT_EQ(ReadRegisters(t.link, 427, 1, read.data()), 1) << LinkMessage(t.link);
      EXPECT_EQ(read[0], written[127]);

      const uint32_t registers[] = {305, 300, 8176, 305 + 8192};
      uint16_t words[4] = {};
      ASSERT_EQ(RandomReadRegisters(t.link, registers, 4, words), 4) << LinkMessage(t.link);
      EXPECT_EQ(words[0], written[5]);
      EXPECT_EQ(words[1], written[0]);
      EXPECT_EQ(words[2] & 0xFF00, 0x8000);  // port word
    }
  }
}

TEST(SymaxKxtsim, RoutesWithAndWithoutNetToNet) {
  for (uint8_t net_to_net : {0, 1}) {
    SCOPED_TRACE(net_to_net);
    SymaxLink t({.net_to_net = net_to_net, .route = Route{2, {1, 12}}});
    ASSERT_TRUE(t.ready());
    const uint16_t value = 0x4321;
    ASSERT_EQ(WriteRegisters(t.link, 1000, 1, &value), 1) << LinkMessage(t.link);
    uint16_t read = 0;
    ASSERT_EQ(ReadRegisters(t.link, 1000, 1, &read), 1) << LinkMessage(t.link);
    EXPECT_EQ(read, value);
  }
}

TEST(SymaxKxtsim, ErrorRepliesCarryTheStatusText) {
  for (bool priority : {false, true}) {
    SCOPED_TRACE(priority ? "priority" : "plain");
    SymaxLink t({.priority = priority, .faults = {"--error-status", "7"}});
    ASSERT_TRUE(t.ready());
    uint16_t words[2] = {1, 2};
    EXPECT_EQ(ReadRegisters(t.link, 10, 2, words), 0);
    EXPECT_STREQ(LinkMessage(t.link), "(7) Protected Register");
    EXPECT_EQ(WriteRegisters(t.link, 10, 2, words), 0);
    EXPECT_STREQ(LinkMessage(t.link), "(7) Protected Register");
    const uint32_t registers[] = {10};
    SetMessage(t.link, "");
    EXPECT_EQ(RandomReadRegisters(t.link, registers, 1, words), 0);
    EXPECT_STREQ(LinkMessage(t.link), "(7) Protected Register");
  }
}

// Every third frame from kxtsim arrives with a bad check: each is refused
// with NAK and sent again, and every request still completes. kxtsim keeps
// its enquiry rounds going until the NAK comes, however long a busy machine
// holds the link up; the reply time-out (30 s) is only a failure bound.
TEST(SymaxKxtsim, CorruptedFramesAreRetransmitted) {
  for (bool crc : {false, true}) {
    SCOPED_TRACE(crc ? "CRC" : "BCC");
    SymaxLink t({.crc = crc,
                 .faults = {"--corrupt", "3", "--enquiry-rounds", "1000000"},
                 .reply_timeout = 3000});
    ASSERT_TRUE(t.ready());
    for (uint16_t i = 0; i < 12; ++i) {
      std::vector<uint16_t> written = Pattern(20, static_cast<uint16_t>(i * 77));
      ASSERT_EQ(WriteRegisters(t.link, 500 + i, 20, written.data()), 20) << LinkMessage(t.link);
      std::vector<uint16_t> read(20);
      ASSERT_EQ(ReadRegisters(t.link, 500 + i, 20, read.data()), 20) << LinkMessage(t.link);
      EXPECT_EQ(read, written);
    }
  }
}

// The link's frame is the one sent again here, and the link gives it up after
// its 32 enquiry rounds: at 2400 baud they last 1.6 s, time enough for a
// kxtsim held up by a busy machine to answer busy.
TEST(SymaxKxtsim, BusyPeerGetsTheFrameAgain) {
  SymaxLink t({.faults = {"--busy", "2"}, .reply_timeout = 3000, .baud = 2400});
  ASSERT_TRUE(t.ready());
  for (uint16_t i = 0; i < 6; ++i) {
    const uint16_t value = static_cast<uint16_t>(0x1000 + i);
    ASSERT_EQ(WriteRegisters(t.link, 700 + i, 1, &value), 1) << LinkMessage(t.link);
    uint16_t read = 0;
    ASSERT_EQ(ReadRegisters(t.link, 700 + i, 1, &read), 1) << LinkMessage(t.link);
    EXPECT_EQ(read, value);
  }
}

TEST(SymaxKxtsim, DroppedReplyEndsOnTheReplyTimeout) {
  SymaxLink t({.faults = {"--drop", "2"}});
  ASSERT_TRUE(t.ready());
  // Answered requests get a generous time-out (a failure bound on a busy
  // machine), the dropped ones a short one.
  auto timeout = [&](uint16_t polls) { SetPortMode8(t.link, kBaud, 0, 1, polls); };
  uint16_t word = 0;
  timeout(3000);
  EXPECT_EQ(ReadRegisters(t.link, 1, 1, &word), 1) << LinkMessage(t.link);
  timeout(30);
  EXPECT_EQ(ReadRegisters(t.link, 1, 1, &word), 0);
  EXPECT_STREQ(LinkMessage(t.link), "Read reply timeout");
  timeout(3000);
  EXPECT_EQ(WriteRegisters(t.link, 20, 1, &word), 1) << LinkMessage(t.link);
  timeout(30);
  EXPECT_EQ(WriteRegisters(t.link, 20, 1, &word), 0);
  EXPECT_STREQ(LinkMessage(t.link), "Write reply timeout");
}

// kxtload as a process over a Sy/Max link on kxtsim's pseudo-terminal, point
// to point and along a Net-to-Net route; the program area is then read back
// through the link and equals the file.
TEST(SymaxKxtsim, KxtloadDownloadReadsBackEqualToTheFile) {
  struct Case {
    const char* what;
    std::vector<std::string> route_args;
    uint8_t net_to_net;
    Route route;
  };
  const Case cases[] = {
      {"point to point", {}, 0, Route{}},
      {"Net-to-Net", {"N", "1", "12"}, 1, Route{2, {1, 12}}},
  };
  const std::vector<uint16_t> program = Pattern(1234, 0x0110);
  // A name of this process's own: the same test may run in other builds at once.
  const std::string file =
      ::testing::TempDir() + "symax_download_" + std::to_string(getpid()) + ".kxb";
  {
    std::ofstream out(file, std::ios::binary);
    for (uint16_t w : program) {
      out.put(static_cast<char>(w & 0xFF));
      out.put(static_cast<char>(w >> 8));
    }
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<SimProcess> sim = SimProcess::Start({"--serial", "symax", "--baud", "57600"});
    ASSERT_TRUE(sim);
    std::vector<std::string> args = {"1", file, sim->device_path()};
    args.insert(args.end(), c.route_args.begin(), c.route_args.end());
    args.push_back("-M57600,N,8,1");
    testsupport::ProcessResult run =
        testsupport::RunProcess(std::string(KXT_BIN_DIR) + "/kxtload", args, "", 60000);
    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_EQ(run.exit_status, 0) << run.output;
    EXPECT_NE(run.output.find("1234 words transmitted."), std::string::npos) << run.output;

    std::unique_ptr<LinkHandle, int (*)(LinkHandle*)> owner(
        OpenSymax(sim->device_path().c_str(), c.net_to_net, &c.route), CloseLink);
    LinkHandle* link = owner.get();
    ASSERT_NE(link, nullptr);
    SetPortMode8(link, 57600, 0, 1, 500);
    const uint16_t channel = 1;
    ASSERT_EQ(WriteRegisters(link, 2049, 1, &channel), 1) << LinkMessage(link);
    uint16_t length = 0;
    ASSERT_EQ(ReadRegisters(link, 2050, 1, &length), 1) << LinkMessage(link);
    EXPECT_EQ(length, 2 * program.size());
    std::vector<uint16_t> loaded(program.size());
    for (size_t at = 0; at < loaded.size(); at += 128) {
      uint32_t n = static_cast<uint32_t>(std::min<size_t>(128, loaded.size() - at));
      ASSERT_EQ(ReadRegisters(link, static_cast<uint32_t>(2051 + at), n, loaded.data() + at),
                static_cast<int>(n))
          << LinkMessage(link);
    }
    EXPECT_EQ(loaded, program);
  }
  std::remove(file.c_str());
}

}  // namespace
}  // namespace linklib
