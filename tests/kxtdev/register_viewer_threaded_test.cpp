// kxtdev's register viewer on the in-memory console against kxtsim (Modbus
// TCP and Sy/Max on a pseudo-terminal): what the page shows, what reaches the
// module, and the F1 screen print.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "console/memory_console.h"
#include "console/screen.h"
#include "console/windows.h"
#include "kxtdev/link_session.h"
#include "kxtdev/register_viewer.h"
#include "tests/support/sim_process.h"

namespace kxtdev {
namespace {

using namespace console;

// F3 is a hot key that keeps the screen as it stands (the page is cleared
// when Escape ends the viewer), with the attribute codes of its cells.
class PageConsole : public MemoryConsole {
 public:
  void Open() {
    ASSERT_TRUE(InitScreenOn(*this));
    AddHotKey(kKeyF3, [this](int, std::int32_t) {
      for (int row = 1; row <= kScreenRows; ++row) {
        page[row] = ImageRowText(row);
        codes[row].clear();
        for (int column = 1; column <= kConsoleColumns; ++column)
          codes[row].push_back(static_cast<char>('0' + ImageCode(row, column)));
      }
      return 0;
    });
  }
  std::string page[kScreenRows + 1];
  std::string codes[kScreenRows + 1];
};

enum class Transport { kModbusTcp, kSymax };

class RegisterViewerTest : public ::testing::TestWithParam<Transport> {
 protected:
  void SetUp() override {
    std::vector<std::string> args = {"-v"};
    if (GetParam() == Transport::kModbusTcp) {
      args.insert(args.end(), {"--tcp", "0"});
    } else {
      args.insert(args.end(), {"--serial", "symax", "--baud", "19200"});
    }
    sim_ = testsupport::SimProcess::Start(args);
    ASSERT_TRUE(sim_);
    linklib::SetProgramStyle(linklib::ProgramStyle::Environment);
    session_.setup = StandardDefaultSetup();
    session_.setup.trap_errors = kChoiceNo;  // nothing waits for a key
    session_.setup.identify_module = kChoiceNo;
    linklib::Route route;
    if (GetParam() == Transport::kModbusTcp) {
      session_.setup.connection_type = kConnectionModbusTcp;
      session_.link = linklib::OpenModbusTCP("127.0.0.1", sim_->tcp_port(), 1);
      probe_ = linklib::OpenModbusTCP("127.0.0.1", sim_->tcp_port(), 1);
    } else {
      session_.link = linklib::OpenSymax(sim_->device_path().c_str(), 0, &route);
      linklib::SetPortMode(session_.link, 19200, 1, 1, 500, 8);
      probe_ = session_.link;  // one pseudo-terminal: the probe shares the link
    }
    ASSERT_NE(session_.link, nullptr);
    ASSERT_NE(probe_, nullptr);
  }

  void TearDown() override {
    if (probe_ != session_.link) linklib::CloseLink(probe_);
    linklib::CloseLink(session_.link);
  }

  // Runs the viewer until the scripted keys end it; kxtsim's request lines
  // of the run are kept.
  void RunViewer(bool log_requests = true) {
    console_.Open();
    size_t before = log_requests ? Mark(6) : 0;
    RegisterViewer(session_);
    CloseScreen();
    if (log_requests) {
      size_t end = Mark(7);
      requests_ = sim_->Output().substr(before, end - before);
    }
  }

  // Reads a block of a size the viewer never asks for and waits until kxtsim
  // has logged it: the log is then complete up to here. Returns its length.
  size_t Mark(int count) {
    uint16_t words[8];
    EXPECT_TRUE(linklib::ReadRegisters(probe_, 1, count, words));
    std::string line = "x" + std::to_string(count) + "\n";
    EXPECT_TRUE(sim_->WaitForOutput(line, 10000));
    return sim_->Output().rfind(line);
  }

  // Keys, each after a pause in which the page is drawn in full.
  void Keys(std::initializer_list<int> keys) {
    for (int key : keys) {
      console_.Gap(50);
      console_.TypeKeys({key});
    }
  }

  int Writes() const {
    int writes = 0;
    for (size_t at = requests_.find("write"); at != std::string::npos;
         at = requests_.find("write", at + 1))
      ++writes;
    return writes;
  }

  uint16_t Module(uint32_t reg) {
    uint16_t value = 0;
    EXPECT_TRUE(linklib::ReadRegisters(probe_, reg, 1, &value)) << linklib::LinkMessage(probe_);
    return value;
  }
  void SetModule(uint32_t reg, uint16_t value) {
    ASSERT_TRUE(linklib::WriteRegisters(probe_, reg, 1, &value)) << linklib::LinkMessage(probe_);
  }

  std::unique_ptr<testsupport::SimProcess> sim_;
  Session session_;
  linklib::LinkHandle* probe_ = nullptr;
  PageConsole console_;
  std::string requests_;
};

TEST_P(RegisterViewerTest, ValuesInTheirColumns) {
  SetModule(100, 0x8421);
  session_.setup.starting_register = 100;
  session_.setup.screen_size = 3;
  Keys({kKeyF3, kKeyEscape});
  RunViewer();
  const std::string* page = console_.page;
  EXPECT_EQ(page[4].substr(0, 57), "REGSTR  HEX   UNSIGN  SIGNED         BINARY          STAT");
  EXPECT_EQ(page[5].substr(0, 57), "   100  8421   33825  -31711  1000 0100 0010 0001    0000");
  EXPECT_EQ(page[6].substr(0, 6), "   101");
  EXPECT_EQ(page[8].substr(0, 10), std::string(10, ' '));  // three rows only
  EXPECT_EQ(page[6].substr(61, 13), "  VLTR Sy/Max");
  EXPECT_EQ(page[9].substr(61, 17), "Press F2 for Help");
  EXPECT_EQ(console_.codes[9].substr(67, 2), "22");  // "F2" bright
  // Only the selected cell (cursor row, HEX) is bright.
  EXPECT_EQ(console_.codes[5].substr(0, 30), "000000002222220000000000000000");
  EXPECT_EQ(console_.codes[6].substr(8, 4), "0000");
  // Escape cleared the page.
  EXPECT_EQ(ImageRowText(5), std::string(80, ' '));
}

TEST_P(RegisterViewerTest, OnlyChangedValuesAreWritten) {
  SetModule(200, 0x1234);
  SetModule(201, 0x00FF);
  session_.setup.starting_register = 200;
  session_.setup.screen_size = 5;
  // HEX "1234" Down on 200: the value shown, nothing written. UNSIGN "0255"
  // Enter on 201: equal again. SIGNED "-2" and Escape on 201: written, end.
  Keys({'1', '2', '3', '4', kKeyDown, kKeyRight, '0', '2', '5', '5', kKeyEnter, kKeyRight, '-', '2',
        kKeyEscape});
  RunViewer();
  EXPECT_EQ(Writes(), 1) << requests_;
  EXPECT_EQ(Module(200), 0x1234);
  EXPECT_EQ(Module(201), 0xFFFE);
}

TEST_P(RegisterViewerTest, BinaryEditStartsAtTheFirstBit) {
  SetModule(300, 0x8421);
  session_.setup.starting_register = 300;
  // Right three times to BINARY; "0" replaces the top bit, Right skips a bit, "1"
  // sets the third; Down leaves the field and writes. Then Left, Left (no
  // bit typed: only columns change) and F3.
  Keys({kKeyRight, kKeyRight, kKeyRight, '0', kKeyRight, '1', kKeyDown, kKeyLeft, kKeyLeft, kKeyF3,
        kKeyEscape});
  RunViewer();
  EXPECT_EQ(Module(300), 0x2421);
  EXPECT_EQ(Writes(), 1) << requests_;
  EXPECT_EQ(console_.page[5].substr(30, 19), "0010 0100 0010 0001");
  // Cursor on 301, UNSIGN selected.
  EXPECT_EQ(console_.codes[6].substr(14, 8), "22222222");
}

TEST_P(RegisterViewerTest, ScreenSizeOneMovesByOneRegister) {
  session_.setup.starting_register = 50;
  session_.setup.screen_size = 1;
  Keys({kKeyDown, kKeyDown, kKeyF3, kKeyHome, kKeyUp, kKeyUp, kKeyF3, kKeyEscape});
  RunViewer();
  // After Home and Up twice from register 50 the page shows 48.
  EXPECT_EQ(console_.page[5].substr(0, 6), "    48");
  EXPECT_EQ(console_.page[6].substr(0, 6), std::string(6, ' '));
}

TEST_P(RegisterViewerTest, SettingsAreCorrectedAndPriorityBlanksStat) {
  session_.setup.starting_register = 9000;  // becomes 1
  session_.setup.screen_size = 0;           // becomes 20
  session_.setup.priority = 1;
  Keys({kKeyF3, kKeyEscape});
  RunViewer();
  EXPECT_EQ(session_.setup.starting_register, 1);
  EXPECT_EQ(session_.setup.screen_size, 20);
  EXPECT_EQ(session_.setup.status_registers, kChoiceNo);
  EXPECT_EQ(console_.page[5].substr(0, 6), "     1");
  EXPECT_EQ(console_.page[24].substr(0, 6), "    20");
  for (int row = 5; row <= 24; ++row) EXPECT_EQ(console_.page[row].substr(53, 4), "    ") << row;
}

TEST_P(RegisterViewerTest, ADeadLinkShowsErrorRows) {
  linklib::SetPortMode(session_.link, 19200, 1, 1, 5, 8);  // short reply time-out
  ASSERT_EQ(sim_->Stop(), 0);
  session_.setup.starting_register = 10;
  session_.setup.screen_size = 3;
  Keys({kKeyF3, kKeyEscape});
  RunViewer(false);
  for (int row = 5; row <= 7; ++row) {
    EXPECT_EQ(console_.page[row].substr(8, 20), "ERROR               ") << row;
    EXPECT_EQ(console_.page[row].substr(30, 20), std::string(20, ' ')) << row;
    // Bright on the cursor row, red on the others.
    EXPECT_EQ(console_.codes[row][8], row == 5 ? '2' : '4') << row;
  }
  EXPECT_NE(console_.page[25].substr(39), std::string(41, ' '));
  EXPECT_EQ(console_.codes[25][39], '4');
}

TEST_P(RegisterViewerTest, EscapeInTheErrorBoxEndsTheViewer) {
  linklib::SetPortMode(session_.link, 19200, 1, 1, 5, 8);
  ASSERT_EQ(sim_->Stop(), 0);
  session_.setup.trap_errors = kChoiceYes;
  session_.setup.screen_size = 2;
  console_.Gap(50);
  console_.TypeKeys({kKeyEscape});
  RunViewer(false);  // returns: the box's Escape ended the viewer
  EXPECT_GT(console_.Bells(), 0);
  EXPECT_TRUE(console_.ScriptDone());
}

TEST_P(RegisterViewerTest, HelpOpensOnF2AndAnyKeyClosesIt) {
  SetModule(40, 7);
  session_.setup.starting_register = 40;
  Keys({kKeyF2, 'x', kKeyF3, kKeyEscape});
  RunViewer();
  bool help_shown = false;
  for (const MemoryConsole::Write& write : console_.Writes())
    help_shown |= write.characters.find("REGISTER VIEWER HELP") != std::string::npos;
  EXPECT_TRUE(help_shown);
  EXPECT_EQ(console_.page[8].substr(58, 21), std::string(21, ' '));  // closed
  EXPECT_EQ(console_.page[5].substr(0, 12), "    40  0007");
  EXPECT_EQ(Writes(), 0) << requests_;
}

INSTANTIATE_TEST_SUITE_P(Transports, RegisterViewerTest,
                         ::testing::Values(Transport::kModbusTcp, Transport::kSymax),
                         [](const ::testing::TestParamInfo<Transport>& info) {
                           return info.param == Transport::kModbusTcp ? "ModbusTcp" : "Symax";
                         });

// The screen print, on the in-memory console alone.
class PrintScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kxt_print_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory_ = pattern;
    session_.setup = StandardDefaultSetup();
    session_.setup.trap_errors = kChoiceNo;
    ASSERT_TRUE(InitScreenOn(terminal_));
  }
  void TearDown() override {
    CloseScreen();
    std::remove((directory_ + "/Screen.prn").c_str());
    rmdir(directory_.c_str());
  }
  std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }
  MemoryConsole terminal_;
  Session session_;
  std::string directory_;
};

TEST_F(PrintScreenTest, ABoxIsPrintedWithItsFrameAndUnderlines) {
  PutText("plain", 1, 1, 0, ' ', kNormal);
  PutText("bright", 1, 10, 0, ' ', kBright);
  PutText("red", 1, 20, 0, ' ', kRed);
  Window* box = OpenBox(3, 1, 5, 10, "BOX");
  PutText("\x01", 4, 3, 0, ' ', kNormal);
  // A name that cannot be opened first: the message, then another try.
  std::string bad = directory_ + "/missing/x";
  std::string good = directory_ + "/Screen.prn";
  terminal_.Type(bad + "\r");
  terminal_.Type(good + "\r");
  PrintScreen(session_);
  CloseWindow(&box);

  std::string printed = ReadAll(good);
  ASSERT_EQ(printed.size(), 25u * 162 + 1);
  EXPECT_EQ(printed.back(), '\f');
  auto text = [&](int row) { return printed.substr((row - 1) * 162, 80); };
  auto underline = [&](int row) { return printed.substr((row - 1) * 162 + 81, 80); };
  for (int row = 1; row <= 25; ++row) {
    EXPECT_EQ(printed[(row - 1) * 162 + 80], '\r') << row;
    EXPECT_EQ(printed[(row - 1) * 162 + 161], '\n') << row;
  }
  EXPECT_EQ(text(1).substr(0, 23), "plain    bright    red ");
  // Bright counts as plain; red is underlined.
  EXPECT_EQ(underline(1).substr(0, 23), std::string(19, ' ') + "___ ");
  EXPECT_EQ(text(3).substr(0, 10), "+--BOX---+");
  EXPECT_EQ(underline(3).substr(0, 10), "   ___    ");  // the inverse title
  EXPECT_EQ(text(4).substr(0, 10), "| .      |");
  EXPECT_EQ(text(5).substr(0, 10), "+--------+");
  // The print box itself is not printed, the message of the failed try is.
  EXPECT_EQ(text(11).find("Output file:"), std::string::npos);
  char message[200];
  std::snprintf(message, sizeof message, "Can't open file \"%s\" for write.", bad.c_str());
  EXPECT_EQ(text(25).substr(39), std::string(message).substr(0, 40) + " ");
}

TEST_F(PrintScreenTest, EscapeWritesNothing) {
  std::string good = directory_ + "/Screen.prn";
  terminal_.Type(good);
  terminal_.TypeKeys({kKeyEscape});
  PrintScreen(session_);
  EXPECT_NE(access(good.c_str(), F_OK), 0);
  EXPECT_EQ(ImageRowText(11).substr(19, 20), std::string(20, ' '));
}

}  // namespace
}  // namespace kxtdev
