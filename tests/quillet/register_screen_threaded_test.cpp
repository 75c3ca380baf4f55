// The register editor screen on the in-memory console against kxtsim over
// Modbus TCP: what the page shows, where the cursor goes and what reaches
// the module.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/memory_console.h"
#include "console/screen.h"
#include "quillet/register_screen.h"
#include "tests/support/sim_process.h"

namespace quillet {
namespace {

using namespace console;

// The in-memory console, with two aids: F9 is a hot key that keeps the rows
// of the page as they stand (the page is cleared when Escape ends the screen),
// and a look at the keyboard during a link wait may count as a 10 ms poll, so
// that a lone Escape is told from a sequence while the link waits.
class PageConsole : public MemoryConsole {
 public:
  int ReadInput(unsigned char* buffer, int capacity, int timeout_ms) override {
    if (polls_take_time && timeout_ms == 0) timeout_ms = 10;
    return MemoryConsole::ReadInput(buffer, capacity, timeout_ms);
  }
  void Open() {
    ASSERT_TRUE(InitScreenOn(*this));
    AddHotKey(kKeyF9, [this](int, std::int32_t) {
      for (int row = 1; row <= kScreenRows; ++row) page[row] = ImageRowText(row);
      return 0;
    });
  }
  bool polls_take_time = false;
  std::string page[kScreenRows + 1];
};

class RegisterScreenTest : public ::testing::Test {
 protected:
  void SetUp() override { StartSim({}); }

  void StartSim(std::vector<std::string> extra) {
    if (options_.link) linklib::CloseLink(options_.link);
    if (probe_) linklib::CloseLink(probe_);
    probe_ = nullptr;
    sim_.reset();
    std::vector<std::string> args = {"--tcp", "0"};
    args.insert(args.end(), extra.begin(), extra.end());
    sim_ = testsupport::SimProcess::Start(args);
    ASSERT_TRUE(sim_);
    linklib::SetProgramStyle(linklib::ProgramStyle::RegisterEditor);
    options_ = RunOptions();
    options_.link = linklib::OpenModbusTCP("127.0.0.1", sim_->tcp_port(), 1);
    options_.highest_register = 65535;
    ASSERT_NE(options_.link, nullptr);
    probe_ = linklib::OpenModbusTCP("127.0.0.1", sim_->tcp_port(), 1);
    ASSERT_NE(probe_, nullptr);
  }

  void TearDown() override {
    linklib::CloseLink(options_.link);
    linklib::CloseLink(probe_);
  }

  // Runs the screen until the scripted keys end it.
  void RunScreen() {
    console_.Open();
    linklib::SetWaitCallback(options_.link, ScreenWaitCallback, 0);
    ResetReadOnlyNotice();
    RunRegisterScreen(options_);
    CloseScreen();
  }

  // Keys, each after a pause in which the page is drawn in full.
  void Keys(std::initializer_list<int> keys) {
    for (int key : keys) {
      console_.Gap(50);
      console_.TypeKeys({key});
    }
  }

  uint16_t Module(uint32_t reg) {
    uint16_t value = 0;
    EXPECT_TRUE(linklib::ReadRegisters(probe_, reg, 1, &value)) << linklib::LinkMessage(probe_);
    return value;
  }
  void SetModule(uint32_t reg, uint16_t value) {
    ASSERT_TRUE(linklib::WriteRegisters(probe_, reg, 1, &value));
  }

  std::unique_ptr<testsupport::SimProcess> sim_;
  RunOptions options_;
  linklib::LinkHandle* probe_ = nullptr;
  PageConsole console_;
};

TEST_F(RegisterScreenTest, TypedValuesAreWrittenByTheirRules) {
  SetModule(101, 1234);
  options_.start_register = 100;
  // HEX "5" then Up: written, then the page scrolls back with the cursor on 99.
  // Down to 100, UNSIGN "70000" Down: the low 16 bits reach 100.
  // SIGNED "-7" Down on 101: nothing written (the first key was no digit).
  // SIGNED "-5" Enter on 102: Enter writes. HEX "A" Escape on 102: written, end.
  Keys({'5', kKeyUp, kKeyDown, kKeyRight, '7', '0', '0', '0', '0', kKeyDown, kKeyRight, '-', '7',
        kKeyDown, '-', '5', kKeyEnter});
  SetModule(102, 0);
  Keys({kKeyLeft, kKeyLeft, 'a', kKeyEscape});
  RunScreen();
  EXPECT_EQ(Module(100), 4464);
  EXPECT_EQ(Module(101), 1234);
  EXPECT_EQ(Module(102), 0x000A);
}

TEST_F(RegisterScreenTest, EnterWritesTheShownValueWithoutMoving) {
  SetModule(300, 77);
  options_.start_register = 300;
  Keys({kKeyRight, kKeyRight, '-', '5', kKeyEnter, kKeyF9, kKeyEscape});
  RunScreen();
  EXPECT_EQ(Module(300), static_cast<uint16_t>(-5));
  EXPECT_EQ(console_.page[5].substr(0, 30), "   300  FFFB   65531      -5  ");
}

TEST_F(RegisterScreenTest, DownOnTheLastRowScrollsByThree) {
  options_.start_register = 1;
  for (int i = 0; i < 20; ++i) Keys({kKeyDown});
  Keys({kKeyF9, kKeyEscape});
  RunScreen();
  EXPECT_EQ(console_.page[5].substr(0, 6), "     4");
  EXPECT_EQ(console_.page[22].substr(0, 6), "    21");
}

struct PageCase {
  uint32_t start;
  uint32_t count;
  uint32_t highest;
  std::vector<int> keys;
  std::string first_row;  // register number shown on row 5
};

TEST_F(RegisterScreenTest, PagingAndHoldingThePageInRange) {
  const PageCase cases[] = {
      {100, 20, 65535, {kKeyPageDown}, "   110"},
      {100, 5, 65535, {kKeyPageDown}, "   103"},
      {100, 1, 65535, {kKeyPageDown}, "   101"},
      {100, 20, 65535, {kKeyPageUp}, "    90"},
      {8170, 20, 8192, {kKeyPageDown}, "  8173"},
      {3, 20, 65535, {kKeyUp}, "     1"},  // Up near the top acts as Home
      {50, 20, 65535, {kKeyHome}, "     1"},
      {100, 3, 65535, {kKeyDown, kKeyDown, kKeyDown}, "   101"},  // a short page scrolls by one
  };
  for (const PageCase& c : cases) {
    SCOPED_TRACE(c.first_row);
    PageConsole console;
    RunOptions options = options_;
    options.start_register = c.start;
    options.register_count = c.count;
    options.highest_register = c.highest;
    for (int key : c.keys) {
      console.Gap(50);
      console.TypeKeys({key});
    }
    console.Gap(50);
    console.TypeKeys({kKeyF9, kKeyEscape});
    console.Open();
    RunRegisterScreen(options);
    CloseScreen();
    EXPECT_EQ(console.page[5].substr(0, 6), c.first_row);
  }
}

TEST_F(RegisterScreenTest, ThreeXModeNeverWritesAndSaysSoOnce) {
  SetModule(310, 42);
  options_.start_register = 310;
  options_.mode_3x = true;
  Keys({'5', kKeyEnter, kKeyF10, '6', kKeyEnter, kKeyF9, '7', kKeyEscape});
  RunScreen();
  EXPECT_EQ(Module(310), 42);
  int shown = 0;
  for (const MemoryConsole::Write& write : console_.Writes())
    if (write.characters.find("3X input registers are read-only.") != std::string::npos) ++shown;
  EXPECT_EQ(shown, 1);
  // The header keeps STAT but no status word is read.
  EXPECT_EQ(console_.page[4].substr(0, 34), "REGSTR  HEX   UNSIGN  SIGNED  STAT");
  EXPECT_EQ(console_.page[5].substr(30, 4), "    ");
  EXPECT_EQ(console_.page[5].substr(0, 14), "   310  002A  ");
}

TEST_F(RegisterScreenTest, StatusColumn) {
  options_.start_register = 1;
  Keys({kKeyF9, kKeyEscape});
  RunScreen();
  EXPECT_EQ(console_.page[5].substr(30, 4), "0000");

  PageConsole suppressed;
  options_.status_polling_suppressed = true;
  suppressed.Gap(50);
  suppressed.TypeKeys({kKeyF9, kKeyEscape});
  suppressed.Open();
  RunRegisterScreen(options_);
  CloseScreen();
  EXPECT_EQ(suppressed.page[4].substr(0, 34), "REGSTR  HEX   UNSIGN  SIGNED      ");
  EXPECT_EQ(suppressed.page[5].substr(30, 4), "    ");
}

TEST_F(RegisterScreenTest, AFailingLinkShowsErrorRowsAndItsMessage) {
  linklib::SetPortMode(options_.link, 9600, 0, 1, 5, 8);  // short reply time-out
  ASSERT_EQ(sim_->Stop(), 0);
  options_.start_register = 1;
  options_.register_count = 3;
  Keys({kKeyF9, kKeyEscape});
  RunScreen();
  for (int row = 5; row <= 7; ++row) {
    EXPECT_EQ(console_.page[row].substr(8, 5), "ERROR") << row;
    EXPECT_EQ(console_.page[row].substr(30, 4), "----") << row;
  }
  EXPECT_NE(console_.page[24].substr(39), std::string(41, ' '));
}

TEST_F(RegisterScreenTest, EscapeDuringASlowReplyAbandonsIt) {
  StartSim({"--delay", "3000"});
  options_.start_register = 1;
  console_.polls_take_time = true;
  console_.TypeKeys({kKeyEscape});
  auto start = std::chrono::steady_clock::now();
  RunScreen();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
  bool exiting = false;
  for (const MemoryConsole::Write& write : console_.Writes())
    exiting |= write.characters.find("Exiting...") != std::string::npos;
  EXPECT_TRUE(exiting);
}

TEST_F(RegisterScreenTest, ModuleIdentification) {
  StartSim({"--name", "ABCDEFGHIJKLMNOPQRSTUVW"});
  console_.Open();
  ShowModuleIdentification(options_);
  EXPECT_EQ(ImageRowText(3).substr(59, 20), "ABCDEFGHIJKLMNOPQRST");
  EXPECT_EQ(ImageCode(3, 60), kBright);
  CloseScreen();

  StartSim({"--model", "291"});  // 0x0123: another device
  console_.Open();
  ShowModuleIdentification(options_);
  EXPECT_EQ(ImageRowText(3).substr(59, 20), "Model 291           ");
  CloseScreen();

  StartSim({"--model", "0"});
  console_.Open();
  PutText("stale", 3, 60, 20, ' ', kBright);
  ShowModuleIdentification(options_);
  EXPECT_EQ(ImageRowText(3).substr(59, 20), std::string(20, ' '));
  CloseScreen();
}

}  // namespace
}  // namespace quillet
