// The communications setup against kxtsim over Modbus TCP: a change of line
// settings keeps the open link, a change of what the link reaches replaces it.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "kxtdev/configuration_screens.h"
#include "kxtdev/link_session.h"
#include "tests/kxtdev/kxtdev_fixture.h"
#include "tests/support/sim_process.h"

namespace kxtdev {
namespace {

using namespace console;

// Marks the link the test opened: only that handle calls it while waiting.
int g_marked_waits = 0;
uint32_t CountMarkedWait(uint32_t) {
  ++g_marked_waits;
  return 1;
}

class CommunicationsSetupTest : public KxtdevScreenTest {
 protected:
  void SetUp() override {
    KxtdevScreenTest::SetUp();
    // Replies held back a little, so that every read waits and polls.
    module = testsupport::SimProcess::Start({"--tcp", "0", "-v", "--delay", "20"});
    ASSERT_TRUE(module);
    session.setup = StandardDefaultSetup();
    session.setup.connection_type = kConnectionModbusTcp;
    std::strcpy(session.setup.host, "127.0.0.1");
    session.setup.tcp_port = static_cast<uint16_t>(module->tcp_port());
    session.setup.trap_errors = kChoiceNo;
    std::snprintf(session.setup_file_name, sizeof session.setup_file_name, "KXTSW.STP");
    opened = ConnectLink(session);
    ASSERT_NE(opened, nullptr);
    linklib::SetWaitCallback(opened, CountMarkedWait, 0);
    g_marked_waits = 0;
    terminal.ForgetWrites();
  }

  // One read through the session's link; true when it waited through the
  // marked callback, i.e. it is still the link opened at the start.
  bool ReadsThroughTheFirstLink() {
    uint16_t word = 0;
    EXPECT_EQ(linklib::ReadRegisters(session.link, 8176, 1, &word), 1);
    return g_marked_waits > 0;
  }

  std::unique_ptr<testsupport::SimProcess> module;
  linklib::LinkHandle* opened = nullptr;
};

TEST_F(CommunicationsSetupTest, BaudChangeKeepsTheLink) {
  // Over to Modbus ASCII, its baud rate one up, back to Modbus TCP and
  // Enter through its fields.
  Keys({kKeyLeft, kKeyDown, kKeyDown, kKeyRight, kKeyUp, kKeyUp, kKeyRight});
  for (int i = 0; i < 6; ++i) Keys({kKeyEnter});
  Text("n");  // the save offer
  EXPECT_EQ(ConfigureComputer(session), opened);
  EXPECT_EQ(session.setup.baud_rate, 14);
  EXPECT_FALSE(Written("Via Modbus TCP to"));
  EXPECT_TRUE(Written("Write setup to startup file?"));
  EXPECT_TRUE(ReadsThroughTheFirstLink());
}

TEST_F(CommunicationsSetupTest, RouteChangeReopensTheLink) {
  Keys({kKeyUp});  // the fields from the last: the drop
  Text("7");
  Keys({kKeyEnter});
  Text("n");
  ASSERT_NE(ConfigureComputer(session), nullptr);
  EXPECT_TRUE(Written("Via Modbus TCP to 127.0.0.1"));
  EXPECT_FALSE(ReadsThroughTheFirstLink());
  EXPECT_TRUE(module->WaitForOutput("tcp unit 7", 5000));
}

TEST_F(CommunicationsSetupTest, PortChangeReachesTheOtherModule) {
  auto other = testsupport::SimProcess::Start({"--tcp", "0", "-v"});
  ASSERT_TRUE(other);
  Keys({kKeyDown, kKeyDown});  // host, then the TCP port
  Text(std::to_string(other->tcp_port()));
  for (int i = 0; i < 4; ++i) Keys({kKeyEnter});
  Text("y");
  ASSERT_NE(ConfigureComputer(session), nullptr);
  EXPECT_EQ(session.setup.tcp_port, other->tcp_port());
  EXPECT_FALSE(ReadsThroughTheFirstLink());
  EXPECT_TRUE(other->WaitForOutput("tcp unit 0", 5000));
  EXPECT_EQ(FileBytes("KXTSW.STP").size(), sizeof(SetupRecord));
}

}  // namespace
}  // namespace kxtdev
