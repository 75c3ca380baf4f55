// The terminal emulator on a pseudo-terminal whose far end the test plays,
// with keys scripted on the in-memory console: typed keys reach the line byte
// for byte, received bytes are shown and captured exactly as shown, and the
// link that shares the terminal's port makes way and comes back.
#include "kxtdev/terminal_emulator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "console/key_decoder.h"
#include "console/serial_ports.h"
#include "kxtdev/link_session.h"
#include "platform/pty_pair.h"
#include "tests/console/screen_fixture.h"
#include "tests/support/sim_process.h"

namespace kxtdev {
namespace {

using namespace console;
using std::chrono::milliseconds;

constexpr uint16_t kBaud9600 = 13;

class TerminalEmulatorTest : public ScreenFixture {
 protected:
  void SetUp() override {
    ScreenFixture::SetUp();
    ASSERT_TRUE(peer.valid());
    session.setup = StandardDefaultSetup();
    session.setup.connection_type = kConnectionNone;
    session.setup.terminal_port = 0;
    session.setup.terminal_baud_rate = kBaud9600;
    session.setup.terminal_data_bits = 1;
    session.setup.trap_errors = kChoiceNo;  // no error box waits for a key
    SerialPortNames[0] = peer.slave_path().c_str();
    SerialPortNames[1] = nullptr;
    peer.CloseSlave();
  }
  void TearDown() override {
    if (session.link != nullptr) linklib::CloseLink(session.link);
    SerialPortNames[0] = nullptr;
    ScreenFixture::TearDown();
  }

  // The script goes on once the console shows text.
  void HoldUntilShown(const std::string& text) {
    terminal.Hold([this, text] { return terminal.PlainOutput().find(text) != std::string::npos; });
  }

  std::string ReadPeer(size_t count) {
    std::string bytes(count, '\0');
    bytes.resize(peer.ReadMaster(bytes.data(), count, milliseconds(5000)));
    return bytes;
  }

  platform::PtyPair peer;
  Session session;
};

TEST_F(TerminalEmulatorTest, TypedKeysReachTheLineByteForByte) {
  terminal.Type("a\x01\x03\x1a\x7f");  // Ctrl+A, Ctrl+C, Ctrl+Z and Backspace as typed
  terminal.TypeKeys({kKeyDelete, kKeyUp, kKeyDown, kKeyRight, kKeyLeft, kKeyF1, kKeyF2, kKeyF3,
                     kKeyF4, kKeyEnter, kKeyHome, kKeyF10, kKeyPageUp});  // the last three: nothing
  terminal.TypeKeys({kKeyInsertToggle});
  terminal.Type("1B 5B  41\r");
  terminal.TypeKeys({kKeyInsertToggle});
  terminal.Type("41 4G 42\r");
  terminal.TypeKeys({kKeyCtrlEnd});
  bool hot_key_ran = false;  // F1 prints the screen elsewhere in kxtdev
  AddHotKey(kKeyF1, [&](int, std::int32_t) { return hot_key_ran = true; });
  EXPECT_EQ(TerminalEmulator(session, 0), nullptr);
  EXPECT_FALSE(hot_key_ran);

  const std::string expected = std::string("a\x01\x03\x1a\x08\x7f", 6) +
                               "\x1b[A\x1b[B\x1b[C\x1b[D\x1bOP\x1bOQ\x1bOR\x1bOS\r" +
                               std::string("\x1b\x5b\x00\x41", 4) + "\x41";
  EXPECT_EQ(ReadPeer(expected.size()), expected);
  EXPECT_NE(terminal.PlainOutput().find("Enter hex codes to send: 41 4G 42\r\n"
                                        "Invalid character in hex sequence: 47\r\n"),
            std::string::npos);
  // Ctrl+C and Ctrl+Z went to the line: the program runs on, its keys as before.
  EXPECT_TRUE(ScreenIsOpen());
  EXPECT_TRUE(RepaintPending());
}

std::string FileText(const char* name) {
  std::ifstream file(name, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

TEST_F(TerminalEmulatorTest, CaptureHoldsExactlyWhatWasShown) {
  const char* name = "terminal_emulator_test_capture.txt";
  const std::string stream = std::string("OK\r\n\x07\xc8", 6) + std::string(100, 'x') + "\rA";
  const std::string shown = "OK<0D><0A>\r\n<07><C8>" + std::string(100, 'x') + "<0D>\r\nA";
  std::string captured;

  ASSERT_TRUE(peer.WriteMaster("before", 6));
  HoldUntilShown("before");
  terminal.TypeKeys({kKeyF8});  // nothing open yet
  terminal.TypeKeys({kKeyF7});
  terminal.Type(std::string(name) + "\r");
  HoldUntilShown("Type F8 to end capture.\r\n");
  terminal.Hold([&] { return peer.WriteMaster(stream.data(), stream.size()); });
  HoldUntilShown(shown);
  terminal.TypeKeys({kKeyF7});  // already open: capture goes on
  terminal.TypeKeys({kKeyF8});
  terminal.Hold([&] {
    captured = FileText(name);
    return peer.WriteMaster("late", 4);
  });
  HoldUntilShown("late");
  terminal.TypeKeys({kKeyF7, kKeyEnter});  // the remembered name, emptied again
  HoldUntilShown("Copying output to");
  terminal.TypeKeys({kKeyCtrlEnd});
  TerminalEmulator(session, 0);

  // Only the received text shown while capturing: no prompts, no "before" or "late".
  EXPECT_EQ(captured, shown);
  EXPECT_EQ(FileText(name), "");  // closed at the end, nothing received into it
  std::remove(name);

  const std::string& output = terminal.PlainOutput();
  EXPECT_NE(output.find("\r\nCapture file not open. Type F7 to begin capture.\r\n"),
            std::string::npos);
  EXPECT_NE(output.find(std::string("already open. Type F8 to close.\r\n")), std::string::npos);
  EXPECT_NE(output.find(std::string("Capture to file (CR=\"") + name + "\")? \r\n"),
            std::string::npos);
  EXPECT_NE(output.find(std::string("\r\nCapture file: \"") + name + "\" closed.\r\n"),
            std::string::npos);
  EXPECT_NE(output.find(shown), std::string::npos);
  // The console wrapped the long row at 80 columns: "<07><C8>" and 72 x, then 28 x.
  int first = -1;
  for (int row = 0; row < kScreenRows && first < 0; ++row)
    if (terminal.RowText(row).rfind("<07><C8>xxx", 0) == 0) first = row;
  ASSERT_GE(first, 0);
  EXPECT_EQ(terminal.RowText(first + 1).substr(0, 29), std::string(28, 'x') + "<");
}

TEST_F(TerminalEmulatorTest, F9ReopensThePortOrGoesOnWithoutOne) {
  // F9 shows the terminal's setup screen; Escape leaves it unchanged. (The
  // emulator's own key looks do not wait, so the Escape's pause must end
  // within the setup screen's wait for the rest of a sequence.)
  auto leave_setup_screen = [this] {
    terminal.Type("\x1b");
    terminal.Gap(KeyDecoder::kEscapeTimeoutMs);
  };
  terminal.TypeKeys({kKeyF9});
  leave_setup_screen();
  terminal.TypeKeys({'a'});
  terminal.Hold([&] {
    session.setup.terminal_port = 5;  // as if the port chosen were gone
    return true;
  });
  terminal.TypeKeys({kKeyF9});
  leave_setup_screen();
  terminal.TypeKeys({'b', kKeyF7, kKeyEnter, kKeyEnd});  // End leaves too
  TerminalEmulator(session, 0);
  EXPECT_EQ(ReadPeer(1), "a");
  char more = 0;  // what went out was written before the emulator returned
  EXPECT_EQ(peer.ReadMaster(&more, 1, milliseconds(50)), 0u) << "nothing once the port was gone";
  EXPECT_EQ(session.terminal_port, nullptr);
  EXPECT_NE(ImageRowText(25).find("Can't open port: \"\".  Status = 133."), std::string::npos);
  // The help again after each F9, the NOTE only at the start.
  const std::string& output = terminal.PlainOutput();
  size_t count = 0;
  for (size_t at = output.find("Type contrl-End"); at != std::string::npos;
       at = output.find("Type contrl-End", at + 1))
    ++count;
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(output.find("NOTE:", 1), std::string::npos);
}

TEST_F(TerminalEmulatorTest, EmptyCaptureNameIsReported) {
  terminal.TypeKeys({kKeyF7, kKeyEnter, kKeyCtrlEnd});
  TerminalEmulator(session, 0);
  EXPECT_NE(terminal.PlainOutput().find("\r\nCapture to file? \r\n"
                                        "Unable to open file: \"\" for write.\r\n"),
            std::string::npos);
}

TEST_F(TerminalEmulatorTest, PortThatDoesNotOpenIsReported) {
  session.setup.terminal_port = 5;  // no such entry in the list
  TerminalEmulator(session, 0);
  EXPECT_NE(ImageRowText(25).find("Can't open port: \"\".  Status = 133."), std::string::npos);
  EXPECT_EQ(terminal.PlainOutput(), "");
}

// The link on another port stays open and the NOTE names the terminal's port;
// on the terminal's own port it makes way and is opened again afterwards.
TEST_F(TerminalEmulatorTest, LinkOnTheTerminalsPortIsReopened) {
  // Modbus ASCII: its frames do not depend on gaps a busy machine may stretch.
  auto sim = testsupport::SimProcess::Start({"--serial", "ascii", "--baud", "9600"});
  ASSERT_TRUE(sim);
  SerialPortNames[1] = sim->device_path().c_str();
  SerialPortNames[2] = nullptr;
  session.setup.connection_type = kConnectionModbusAscii;
  session.setup.com_port = 1;
  session.setup.baud_rate = kBaud9600;
  session.setup.route.drops[0] = 1;
  ASSERT_NE(ConnectLink(session), nullptr);
  linklib::LinkHandle* link = session.link;
  uint16_t marker = 0;
  ASSERT_NE(linklib::ReadRegisters(session.link, 8188, 1, &marker), 0)
      << linklib::LinkMessage(session.link);

  terminal.TypeKeys({kKeyCtrlEnd});
  EXPECT_EQ(TerminalEmulator(session, 0), link);
  EXPECT_EQ(
      terminal.PlainOutput().rfind(
          "NOTE: The terminal emulator is using " + peer.slave_path() + "\r\nType contrl-End", 0),
      0u);

  session.setup.terminal_port = 1;
  terminal.ForgetPlainOutput();
  terminal.TypeKeys({kKeyCtrlEnd});
  linklib::LinkHandle* reopened = TerminalEmulator(session, 0);
  ASSERT_NE(reopened, nullptr);
  EXPECT_EQ(session.link, reopened);
  EXPECT_EQ(terminal.PlainOutput().rfind("Type contrl-End to exit terminal.", 0), 0u);
  marker = 0;
  EXPECT_NE(linklib::ReadRegisters(session.link, 8188, 1, &marker), 0)
      << linklib::LinkMessage(session.link);
  EXPECT_EQ(marker & 0xFFF0, 0x9990) << sim->Output();
  SerialPortNames[1] = nullptr;
}

}  // namespace
}  // namespace kxtdev
