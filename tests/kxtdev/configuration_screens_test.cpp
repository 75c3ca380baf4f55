// The four setup screens on the in-memory console: their cells, the keys
// that change the connection type, Escape putting the record back, the
// register viewer's checks and when a save is offered.
#include "kxtdev/configuration_screens.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/kxtdev/kxtdev_fixture.h"

namespace kxtdev {
namespace {

using namespace console;

constexpr char kAborted[] = "Edit aborted by ESC. Modifications lost.";
constexpr char kSaveQuestion[] = "Write setup to startup file?";

// One row of the connection form from the label column to the box's inside
// edge: the label, a blank, the value from column 46.
std::string FormRow(const std::string& label, const std::string& value) {
  std::string row = label;
  row.resize(16, ' ');
  row += value;
  row.resize(49, ' ');
  return row;
}

class ConfigurationScreensTest : public KxtdevScreenTest {
 protected:
  void SetUp() override {
    KxtdevScreenTest::SetUp();
    session.setup = StandardDefaultSetup();
    session.setup.trap_errors = kChoiceNo;  // messages on row 25, nothing waits
    std::snprintf(session.setup_file_name, sizeof session.setup_file_name, "KXTSW.STP");
    // F9 keeps the terminal's rows as they stand (while a field is edited
    // the screen image lags behind the terminal).
    AddHotKey(kKeyF9, [this](int, std::int32_t) {
      std::vector<std::string> rows;
      for (int row = 0; row < kScreenRows; ++row) rows.push_back(terminal.RowText(row));
      snapshots.push_back(rows);
      return 0;
    });
  }
  void Snapshot() { Keys({kKeyF9}); }
  // Cells of a snapshot's row (both 1-based).
  std::string Cells(size_t snapshot, int row, int column, int width) const {
    return snapshots.at(snapshot).at(row - 1).substr(column - 1, width);
  }
  // Rows 8..17 of the connection form, from the label column to the box's edge.
  std::vector<std::string> Form(size_t snapshot) const {
    std::vector<std::string> rows;
    for (int row = 8; row <= 17; ++row) rows.push_back(Cells(snapshot, row, 30, 49));
    return rows;
  }

  std::vector<std::vector<std::string>> snapshots;
};

TEST_F(ConfigurationScreensTest, ConnectionFormsCellForCell) {
  SetPorts({"ttyS0", "/dev/pts/12"});
  session.setup.com_port = 1;
  session.setup.route.count = 2;
  session.setup.route.drops[0] = 3;
  session.setup.route.drops[1] = 201;
  Snapshot();
  Keys({kKeyRight, kKeyRight});  // Gateway COM:
  Snapshot();
  Keys({kKeyRight, kKeyRight, kKeyRight});  // Modbus TCP
  Snapshot();
  Keys({kKeyEscape});
  ConfigureComputer(session);
  ASSERT_EQ(snapshots.size(), 3u);

  const std::vector<std::string> symax = {
      FormRow("Connection type", "Sy/Max COM:"), FormRow("           Port", "/dev/pts/12"),
      FormRow("      Baud rate", "9600"),        FormRow("      Data bits", "8"),
      FormRow("      Stop bits", "1"),           FormRow("         Parity", "EVEN"),
      FormRow("    Error Check", "BCC"),         FormRow("        Timeout", "500"),
      FormRow("    Trap Errors", "NO"),          FormRow("          Route", "3,201"),
  };
  EXPECT_EQ(Form(0), symax);
  const std::vector<std::string> gateway = {
      FormRow("Connection type", "Gateway COM:"),
      FormRow("           Port", "/dev/pts/12"),
      FormRow("      Baud rate", "9600"),
      FormRow("      Data bits", "8"),
      FormRow("      Stop bits", "1"),
      FormRow("         Parity", "EVEN"),
      FormRow("          Route", "3,201"),
      FormRow("", ""),
      FormRow("", ""),
      FormRow("", ""),
  };
  EXPECT_EQ(Form(1), gateway);
  const std::vector<std::string> tcp = {
      FormRow("Connection type", "Modbus TCP"),
      FormRow("           Host", ""),
      FormRow("           Port", "502"),
      FormRow("", ""),
      FormRow("", ""),
      FormRow("", ""),
      FormRow("", ""),
      FormRow("        Timeout", "500"),
      FormRow("    Trap Errors", "NO"),
      FormRow("           Drop", "3,201"),
  };
  EXPECT_EQ(Form(2), tcp);
  EXPECT_TRUE(Written("CONFIGURE THIS COMPUTER"));
  EXPECT_EQ(StatusLine(), kAborted);  // the type was changed, then Escape
  EXPECT_EQ(session.setup.connection_type, kConnectionSymax);
}

TEST_F(ConfigurationScreensTest, RightAndLeftGoRoundTheTypesNeverToNone) {
  for (int i = 0; i < 6; ++i) Keys({kKeyRight});
  Snapshot();
  Keys({' ', '+'});  // the blank and "+" move on like Right
  Snapshot();
  Keys({'-', kKeyLeft, kKeyLeft});  // back past Sy/Max COM:
  Snapshot();
  Keys({kKeyEscape});
  EXPECT_EQ(ConfigureComputer(session), nullptr);
  ASSERT_EQ(snapshots.size(), 3u);
  EXPECT_EQ(Form(0)[0], FormRow("Connection type", "Sy/Max COM:"));
  EXPECT_EQ(Form(1)[0], FormRow("Connection type", "Gateway COM:"));
  EXPECT_EQ(Form(2)[0], FormRow("Connection type", "Modbus TCP"));
  EXPECT_EQ(StatusLine(), kAborted);
  EXPECT_EQ(session.setup.connection_type, kConnectionSymax);
}

TEST_F(ConfigurationScreensTest, RoundTripOfTheTypeIsNoChange) {
  for (int i = 0; i < 6; ++i) Keys({kKeyRight});
  Keys({kKeyEscape});
  ConfigureComputer(session);
  EXPECT_FALSE(Written(kAborted));
}

TEST_F(ConfigurationScreensTest, NoneOnlyLeavesWithEscapeAndTypesPastTheListShowSymax) {
  session.setup.connection_type = kConnectionNone;
  const int bells = terminal.Bells();
  Keys({kKeyEnter, kKeyDown, kKeyUp});  // no fields: ignored
  Snapshot();
  Keys({'x', kKeyEscape});  // any other key beeps
  ConfigureComputer(session);
  ASSERT_EQ(snapshots.size(), 1u);
  EXPECT_EQ(Form(0)[0], FormRow("Connection type", "NONE"));
  for (int row = 1; row < 10; ++row) EXPECT_EQ(Form(0)[row], FormRow("", ""));
  EXPECT_EQ(terminal.Bells(), bells + 1);
  EXPECT_FALSE(Written(kAborted));

  session.setup.connection_type = 99;
  Snapshot();
  Keys({kKeyEscape});
  ConfigureComputer(session);
  EXPECT_EQ(Form(1)[0], FormRow("Connection type", "Sy/Max COM:"));
  EXPECT_TRUE(Written(kAborted));  // 99 became 1; Escape puts 99 back
  EXPECT_EQ(session.setup.connection_type, 99);
}

TEST_F(ConfigurationScreensTest, EscapeAfterFieldChangesPutsTheRecordBack) {
  const SetupRecord before = session.setup;
  // Port, baud rate (changed), Up back to the type, Net-to-Net, its fields
  // from the last: the route typed over, then Escape.
  Keys({kKeyDown, kKeyDown, kKeyRight, kKeyUp, kKeyUp, kKeyRight, kKeyUp});
  Text("5,6");
  Keys({kKeyEscape});
  ConfigureComputer(session);
  EXPECT_EQ(StatusLine(), kAborted);
  EXPECT_EQ(std::memcmp(&session.setup, &before, sizeof before), 0);
}

TEST_F(ConfigurationScreensTest, AcceptedWithoutALinkOffersNoSave) {
  // No ports: the Sy/Max link cannot open. Baud rate 14400, then Enter
  // through the fields to the route and past it.
  Keys({kKeyDown, kKeyDown, kKeyRight});
  for (int i = 0; i < 7; ++i) Keys({kKeyEnter});
  EXPECT_EQ(ConfigureComputer(session), nullptr);
  EXPECT_EQ(StatusLine(), "Unable to establish link.");
  EXPECT_FALSE(Written(kSaveQuestion));
  EXPECT_EQ(session.setup.baud_rate, 14);  // kept, unsaved
}

TEST_F(ConfigurationScreensTest, ViewerChecksCorrectTheValue) {
  session.setup.trap_errors = kChoiceYes;  // each message in the error box, cleared with F10
  Keys({kKeyDown, kKeyDown});
  Text("25");
  Keys({kKeyEnter, kKeyF10});  // refused: 20 in the field, edited again
  Snapshot();
  Keys({kKeyEnter});
  Text("0");
  Keys({kKeyEnter, kKeyF10, kKeyEnter, kKeyEnter});  // refused, 1; accepted; the last field
  Text("n");
  ConfigureViewer(session);
  EXPECT_TRUE(Written("Register Viewer size must be <= 20"));
  EXPECT_TRUE(Written("Register Viewer start must be >= 1"));
  ASSERT_EQ(snapshots.size(), 1u);
  EXPECT_EQ(Cells(0, 9, 48, 2), "20");
  EXPECT_EQ(session.setup.screen_size, 20);
  EXPECT_EQ(session.setup.starting_register, 1);
  EXPECT_TRUE(Written(kSaveQuestion));
}

TEST_F(ConfigurationScreensTest, ViewerChecksTheOtherEnds) {
  session.setup.trap_errors = kChoiceYes;
  Keys({kKeyDown, kKeyDown});
  Text("0");
  Keys({kKeyDown, kKeyF10});  // refused, 1, and the form moves on
  Text("9000");
  Keys({kKeyDown, kKeyF10, kKeyEscape, kKeyF10});
  ConfigureViewer(session);
  EXPECT_TRUE(Written("Register Viewer size must be >= 1"));
  EXPECT_TRUE(Written("Register Viewer start must be <= 8192"));
  EXPECT_TRUE(Written(kAborted));
  EXPECT_EQ(session.setup.screen_size, 20);
}

TEST_F(ConfigurationScreensTest, SaveOffers) {
  // The viewer accepted unchanged asks; the terminal accepted unchanged does not.
  for (int i = 0; i < 5; ++i) Keys({kKeyEnter});
  Text("n");
  ConfigureViewer(session);
  EXPECT_TRUE(Written(kSaveQuestion));
  terminal.ForgetWrites();

  for (int i = 0; i < 5; ++i) Keys({kKeyEnter});
  ConfigureTerminal(session);
  EXPECT_FALSE(Written(kSaveQuestion));
  EXPECT_TRUE(Written("CONFIGURE TERMINAL EMULATOR"));

  // Up from the first field goes round to the parity; a change there is
  // offered for saving, and saved.
  Keys({kKeyUp, kKeyRight, kKeyEnter});
  Text("y");
  ConfigureTerminal(session);
  EXPECT_TRUE(Written(kSaveQuestion));
  EXPECT_EQ(session.setup.terminal_parity, 1);
  EXPECT_EQ(FileBytes("KXTSW.STP").size(), sizeof(SetupRecord));

  // Escape after a change: the message and the record as it was.
  Keys({kKeyDown, kKeyRight, kKeyEscape});
  ConfigureTerminal(session);
  EXPECT_EQ(StatusLine(), kAborted);
  EXPECT_EQ(session.setup.terminal_baud_rate, 13);
}

TEST_F(ConfigurationScreensTest, TerminalPortShowsLinuxNames) {
  SetPorts({"ttyS0", "ttyUSB0"});
  session.setup.terminal_port = 1;
  Snapshot();
  Keys({kKeyEscape});
  ConfigureTerminal(session);
  EXPECT_EQ(Cells(0, 7, 46, 9), "ttyUSB0 \xBA");  // the name, then the frame
  EXPECT_FALSE(Written(kAborted));
}

TEST_F(ConfigurationScreensTest, EditorPathTakesPathCharacters) {
  Keys({kKeyEscape});
  ConfigureEditor(session);
  EXPECT_EQ(StatusLine(), kAborted);  // even without a change
  EXPECT_STREQ(session.setup.editor_path, "EDIT.COM");

  const int bells = terminal.Bells();
  Text("~/bin/vi-2_x.$E");
  Text(" :\\");  // blank, colon and backslash are refused
  Keys({kKeyEnter});
  Text("y");
  ConfigureEditor(session);
  EXPECT_STREQ(session.setup.editor_path, "~/bin/vi-2_x.$E");
  EXPECT_EQ(terminal.Bells(), bells + 3);
  SetupRecord saved;
  const auto bytes = FileBytes("KXTSW.STP");
  ASSERT_EQ(bytes.size(), sizeof saved);
  std::memcpy(&saved, bytes.data(), sizeof saved);
  EXPECT_STREQ(saved.editor_path, "~/bin/vi-2_x.$E");
}

}  // namespace
}  // namespace kxtdev
