// The CTS monitor on the in-memory console: kxtsim's changing CTS inputs
// shown as ON and OFF, and links that fail showing ERR and ending on a key,
// whether the key comes during a reply wait or the read fails at once.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>

#include "kxtdev/link_session.h"
#include "kxtdev/session.h"
#include "kxtdev/utilities.h"
#include "platform/pty_pair.h"
#include "register_page/key_watch.h"
#include "tests/console/screen_fixture.h"
#include "tests/support/sim_process.h"

namespace kxtdev {
namespace {

using namespace console;

constexpr unsigned char kNormalAttribute = 0x17;
constexpr unsigned char kBrightAttribute = 0x1E;
constexpr unsigned char kRedAttribute = 0x1C;

class CtsMonitorTest : public ScreenFixture {
 protected:
  void TearDown() override {
    if (session.link != nullptr) linklib::CloseLink(session.link);
    ScreenFixture::TearDown();
  }

  // Runs the monitor until a key typed after `cycles` pacing periods (the
  // console's clock moves only while the monitor waits for its next cycle;
  // on a slow link it never does, so the key there comes at once).
  void RunMonitor(int cycles) {
    terminal.ForgetWrites();
    terminal.Gap(10 * cycles);
    terminal.Type("q");
    CtsMonitor(session, 4);
    EXPECT_TRUE(terminal.ScriptDone());
    EXPECT_EQ(ReadKey(0), 0);                               // the key that ended it was taken
    EXPECT_EQ(ImageText(8, 38, 55), std::string(18, ' '));  // the window is gone
  }

  // The states a port's 3 cells (row 9 + port, column 50) went through, with
  // the attribute of the write that made each one.
  std::set<std::pair<std::string, int>> Shown(int port) {
    std::set<std::pair<std::string, int>> shown;
    std::string cells = "   ";
    for (const MemoryConsole::Write& write : terminal.Writes()) {
      if (write.row != 8 + port) continue;
      bool touched = false;
      for (size_t i = 0; i < write.characters.size(); ++i) {
        int column = write.column + static_cast<int>(i);
        if (column >= 49 && column <= 51) {
          cells[column - 49] = write.characters[i];
          touched = true;
        }
      }
      if (touched && (cells == "ON " || cells == "OFF" || cells == "ERR"))
        shown.insert({cells, write.attribute});
    }
    return shown;
  }

  Session session;
};

TEST_F(CtsMonitorTest, ChangingInputsShowOnAndOff) {
  auto sim = testsupport::SimProcess::Start({"--tcp", "0"});
  ASSERT_TRUE(sim);
  session.link = linklib::OpenModbusTCP("127.0.0.1", static_cast<uint16_t>(sim->tcp_port()), 1);
  ASSERT_NE(session.link, nullptr);
  InstallWaitCallback(session.link);

  // The inputs change with kxtsim's clock: run until port 1 was seen both ways.
  std::set<std::pair<std::string, int>> seen;
  auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (seen.size() < 2 && std::chrono::steady_clock::now() < give_up) {
    RunMonitor(200);
    for (const auto& shown : Shown(1)) seen.insert(shown);
  }
  std::set<std::pair<std::string, int>> both = {{"ON ", kBrightAttribute},
                                                {"OFF", kNormalAttribute}};
  EXPECT_EQ(seen, both);
  for (const MemoryConsole::Write& write : terminal.Writes()) EXPECT_NE(write.characters, "ERR");
}

TEST_F(CtsMonitorTest, LinkWithoutRepliesShowsErrAndEndsOnAKey) {
  platform::PtyPair line;  // nobody answers on the far end
  ASSERT_TRUE(line.valid());
  session.link = linklib::OpenModbusRTU(line.slave_path().c_str(), 1);
  ASSERT_NE(session.link, nullptr);
  linklib::SetPortMode(session.link, 19200, 0, 1, 5, 8);  // 50 ms of waiting
  InstallWaitCallback(session.link);
  RunMonitor(0);
  for (int port = 1; port <= 4; ++port) {
    std::set<std::pair<std::string, int>> err = {{"ERR", kRedAttribute}};
    EXPECT_EQ(Shown(port), err) << port;
  }
}

TEST_F(CtsMonitorTest, LinkThatFailsAtOnceStillEndsOnAKey) {
  auto sim = testsupport::SimProcess::Start({"--tcp", "0"});
  ASSERT_TRUE(sim);
  session.link = linklib::OpenModbusTCP("127.0.0.1", static_cast<uint16_t>(sim->tcp_port()), 1);
  ASSERT_NE(session.link, nullptr);
  linklib::SetPortMode(session.link, 9600, 0, 1, 5, 8);
  InstallWaitCallback(session.link);
  sim->Stop();
  RunMonitor(0);
  std::set<std::pair<std::string, int>> err = {{"ERR", kRedAttribute}};
  EXPECT_EQ(Shown(4), err);

  // No link at all: the same.
  linklib::CloseLink(session.link);
  session.link = nullptr;
  RunMonitor(0);
  EXPECT_EQ(Shown(1), err);
}

}  // namespace
}  // namespace kxtdev
