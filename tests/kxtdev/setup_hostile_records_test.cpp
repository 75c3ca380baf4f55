// Setup files are never checked: records with values past every table,
// texts without their terminator and plain random bytes load, fail to
// connect with the message, and open every setup screen without harm (the
// sanitizer build runs this too).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "kxtdev/configuration_screens.h"
#include "kxtdev/setup_file.h"
#include "tests/kxtdev/kxtdev_fixture.h"

namespace kxtdev {
namespace {

using namespace console;

struct HostileCase {
  std::string name;
  std::function<void(SetupRecord&)> spoil;
};

// Serial types use port 39: past any port list (at most 39 names).
const HostileCase kCases[] = {
    {"type 99", [](SetupRecord& r) { r.connection_type = 99; }},
    {"type 7", [](SetupRecord& r) { r.connection_type = 7; }},
    {"port past the list", [](SetupRecord& r) { r.com_port = 65535; }},
    {"line choices past their lists",
     [](SetupRecord& r) {
       r.com_port = 39;
       r.baud_rate = 40;
       r.parity = 7;
       r.data_bits = 5;
       r.stop_bits = 9;
       r.error_check = 3;
     }},
    {"route count 200",
     [](SetupRecord& r) {
       r.com_port = 39;
       r.route.count = 200;
       for (auto& drop : r.route.drops) drop = 65535;
     }},
    {"gateway route count 9",
     [](SetupRecord& r) {
       r.connection_type = kConnectionGateway;
       r.com_port = 39;
       r.route.count = 9;
     }},
    {"modbus drop count 200",
     [](SetupRecord& r) {
       r.connection_type = kConnectionModbusRtu;
       r.com_port = 39;
       r.route.count = 200;
     }},
    {"host without its terminator",
     [](SetupRecord& r) {
       r.connection_type = kConnectionModbusTcp;
       std::memcpy(r.host, "kxt-no-terminator-host.invalidX", sizeof r.host);
       r.tcp_port = 1;
     }},
    {"editor path without its terminator",
     [](SetupRecord& r) {
       r.connection_type = kConnectionNone;
       std::memset(r.editor_path, 'e', sizeof r.editor_path);
     }},
    {"screen size 0",
     [](SetupRecord& r) {
       r.connection_type = kConnectionNone;
       r.screen_size = 0;
       r.starting_register = 0;
     }},
    {"screen size 9999",
     [](SetupRecord& r) {
       r.connection_type = kConnectionNone;
       r.screen_size = 9999;
       r.starting_register = 65535;
     }},
    {"viewer and terminal choices past their lists",
     [](SetupRecord& r) {
       r.connection_type = kConnectionNone;
       r.priority = 5;
       r.status_registers = 9;
       r.identify_module = 7;
       r.terminal_port = 300;
       r.terminal_baud_rate = 99;
       r.terminal_data_bits = 4;
       r.terminal_stop_bits = 4;
       r.terminal_parity = 9;
     }},
};

std::vector<unsigned char> RandomImage(unsigned seed) {
  std::mt19937 random(seed);
  std::vector<unsigned char> image(sizeof(SetupRecord));
  for (auto& byte : image) byte = static_cast<unsigned char>(random());
  return image;
}

class HostileRecordsTest : public KxtdevScreenTest {
 protected:
  // Loads the record from KXTSW.STP, then opens each setup screen, walks its
  // fields and leaves it with Escape: the record comes back as loaded.
  void LoadAndVisit(SetupRecord record) {
    record.trap_errors = kChoiceNo;  // failures become status lines: nothing waits
    WriteFile("KXTSW.STP", &record, sizeof record);
    terminal.ForgetWrites();
    EXPECT_EQ(LoadSetup(session, "KXTSW.STP"), nullptr);
    EXPECT_TRUE(Written("Unable to establish link."));
    const SetupRecord loaded = session.setup;
    SetupRecord expected = record;
    if (record.connection_type >= kConnectionModbusRtu &&
        record.connection_type <= kConnectionModbusTcp)
      expected.route.count = 1;  // a Modbus link has one drop
    EXPECT_EQ(std::memcmp(&loaded, &expected, sizeof loaded), 0);

    for (int i = 0; i < 12; ++i) Keys({kKeyDown});
    Keys({kKeyEscape});
    ConfigureComputer(session);
    for (int i = 0; i < 7; ++i) Keys({kKeyDown});
    Keys({kKeyEscape});
    ConfigureTerminal(session);
    for (int i = 0; i < 4; ++i) Keys({kKeyDown});
    Keys({kKeyEscape});
    ConfigureViewer(session);
    Keys({kKeyEscape});
    ConfigureEditor(session);
    EXPECT_TRUE(terminal.ScriptDone());
    EXPECT_EQ(std::memcmp(&session.setup, &loaded, sizeof loaded), 0);
  }
};

TEST_F(HostileRecordsTest, ValuesPastEveryTable) {
  for (const HostileCase& c : kCases) {
    SCOPED_TRACE(c.name);
    SetupRecord record = StandardDefaultSetup();
    c.spoil(record);
    LoadAndVisit(record);
  }
}

TEST_F(HostileRecordsTest, RandomBytes) {
  for (unsigned seed = 1; seed <= 24; ++seed) {
    SCOPED_TRACE(seed);
    SetupRecord record;
    std::memcpy(&record, RandomImage(seed).data(), sizeof record);
    LoadAndVisit(record);
  }
}

TEST_F(HostileRecordsTest, EditedTextsEndWithinTheirFields) {
  SetupRecord record = StandardDefaultSetup();
  kCases[7].spoil(record);  // the host
  kCases[8].spoil(record);  // the editor path
  record.connection_type = kConnectionModbusTcp;
  record.trap_errors = kChoiceNo;
  session.setup = record;
  std::snprintf(session.setup_file_name, sizeof session.setup_file_name, "KXTSW.STP");

  Keys({kKeyEnter});  // the path as it stands: its first 40 characters
  Text("n");
  ConfigureEditor(session);
  EXPECT_EQ(std::string(session.setup.editor_path), std::string(40, 'e'));

  // Host, TCP port, time-out, trap errors, drop: Enter through them all.
  for (int i = 0; i < 6; ++i) Keys({kKeyEnter});
  EXPECT_EQ(ConfigureComputer(session), nullptr);
  EXPECT_EQ(std::string(session.setup.host), "kxt-no-terminator-host.invalid");
}

}  // namespace
}  // namespace kxtdev
