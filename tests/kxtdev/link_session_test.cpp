// Opening the environment's link from the setup record, identifying the
// module, and the error box, against kxtsim over Modbus TCP.
#include "kxtdev/link_session.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "console/memory_console.h"
#include "console/screen.h"
#include "register_page/key_watch.h"
#include "tests/support/sim_process.h"

namespace kxtdev {
namespace {

using console::ImageRowText;

class LinkSessionTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(console::InitScreenOn(terminal)); }
  void TearDown() override {
    if (session.link) linklib::CloseLink(session.link);
    console::CloseScreen();
  }

  // Starts kxtsim with extra options and points the setup at it.
  void StartModule(std::vector<std::string> options) {
    options.insert(options.begin(), {"--tcp", "0"});
    sim = testsupport::SimProcess::Start(options);
    ASSERT_TRUE(sim);
    session.setup = StandardDefaultSetup();
    session.setup.connection_type = kConnectionModbusTcp;
    std::strcpy(session.setup.host, "127.0.0.1");
    session.setup.tcp_port = static_cast<uint16_t>(sim->tcp_port());
    session.setup.trap_errors = kChoiceNo;
    ASSERT_TRUE(ConnectLink(session));
  }

  bool Written(const std::string& text) const {
    for (const auto& write : terminal.Writes())
      if (write.characters.find(text) != std::string::npos) return true;
    return false;
  }

  static std::string Trimmed(std::string text) {
    text.erase(0, text.find_first_not_of(' '));
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
  }

  console::MemoryConsole terminal;
  std::unique_ptr<testsupport::SimProcess> sim;
  Session session;
};

TEST_F(LinkSessionTest, ModbusTcpConnectsWithOneDropAndTheWaitCallback) {
  StartModule({"--delay", "100"});
  EXPECT_TRUE(Written("Via Modbus TCP to 127.0.0.1"));
  EXPECT_EQ(session.setup.route.count, 1);
  // A key typed while a reply is awaited is marked and kept for later.
  registerpage::ClearKeyClass();
  terminal.Type("x");
  uint16_t word = 0;
  EXPECT_EQ(linklib::ReadRegisters(session.link, 8176, 1, &word), 1);
  EXPECT_EQ(registerpage::KeyClass(), registerpage::kOrdinaryKeyWaiting);
  EXPECT_EQ(console::ReadKey(0), 'x');
}

TEST_F(LinkSessionTest, ModuleNamesAreTrimmedAndCarryTheirPort) {
  struct Case {
    std::vector<std::string> options;
    const char* shown;
  };
  const Case cases[] = {
      {{"--name", "KXT4 TESTE O  "}, "KXT4 TEST Port 1"},
      {{"--name", "EOE  O"}, "Port 1"},
      {{"--name", "KXT4 LINE", "--module-port", "2"}, "KXT4 LIN Port 2"},
  };
  for (const Case& c : cases) {
    StartModule(c.options);
    EXPECT_EQ(CheckModule(session, ""), 1);
    EXPECT_EQ(Trimmed(ImageRowText(2).substr(14, 50)), c.shown) << c.options[1];
    linklib::CloseLink(session.link);
    session.link = nullptr;
  }
}

TEST_F(LinkSessionTest, TypeCheckRefusesAnotherModule) {
  StartModule({"--name", "KXT1 OTHER"});
  EXPECT_EQ(CheckModule(session, "KXT"), 1);
  // Trap errors "NO": the message stands on row 25 and nothing waits for a key.
  EXPECT_EQ(CheckModule(session, "KXT4"), 1);
  EXPECT_EQ(Trimmed(ImageRowText(25).substr(39)), "Connected module is not an KXT4");

  session.setup.trap_errors = kChoiceYes;
  terminal.TypeKeys({console::kKeyEnter, console::kKeyF10});
  EXPECT_EQ(CheckModule(session, "KXT4"), 1);
  terminal.TypeKeys({console::kKeyEscape});
  EXPECT_EQ(CheckModule(session, "KXT4"), 0);
  EXPECT_GE(terminal.Bells(), 3);  // a beep for each key the box waited for
}

TEST_F(LinkSessionTest, ModulesWithoutTheMarkerPassEveryCheck) {
  StartModule({"--no-ident"});
  console::PutText("stale name", 2, 15, 50, ' ', console::kBright);
  EXPECT_EQ(CheckModule(session, "KXT4"), 1);
  EXPECT_EQ(Trimmed(ImageRowText(2).substr(14, 50)), "");
}

TEST_F(LinkSessionTest, AutoStartDoesNotHideTheModule) {
  StartModule({});
  uint16_t auto_start_channel_2 = 0x9992;
  ASSERT_TRUE(linklib::WriteRegisters(session.link, 8188, 1, &auto_start_channel_2));
  EXPECT_EQ(CheckModule(session, "KXT4"), 1);
  EXPECT_EQ(Trimmed(ImageRowText(2).substr(14, 50)), "KXT4 Simulated Port 1");
}

TEST_F(LinkSessionTest, UnusableSetupsFailWithTheMessage) {
  session.setup = StandardDefaultSetup();
  session.setup.trap_errors = kChoiceNo;
  for (uint16_t type : {0, 7, 99}) {
    session.setup.connection_type = type;
    EXPECT_EQ(ConnectLink(session), nullptr);
    EXPECT_EQ(Trimmed(ImageRowText(25).substr(39)), "Unable to establish link.");
  }
  // A port index past the port list is a failed open.
  session.setup.connection_type = kConnectionSymax;
  session.setup.com_port = 38;
  EXPECT_EQ(ConnectLink(session), nullptr);
  EXPECT_TRUE(terminal.ScriptDone());
}

}  // namespace
}  // namespace kxtdev
