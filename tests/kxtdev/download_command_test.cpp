// The download command against kxtsim over Modbus TCP: the work file's
// refusals, both branches to a completed download, Escape, and a program
// that fills the channel.
#include <gtest/gtest.h>

#include <memory>

#include "kxtdev/download.h"
#include "tests/kxtdev/source_fixture.h"
#include "tests/support/sim_process.h"

namespace kxtdev {
namespace {

using namespace console;

class DownloadCommandTest : public SourceFixture {
 protected:
  void SetUp() override {
    SourceFixture::SetUp();
    sim = testsupport::SimProcess::Start({"--tcp", "0"});
    ASSERT_TRUE(sim);
    session.link = linklib::OpenModbusTCP("127.0.0.1", static_cast<uint16_t>(sim->tcp_port()), 1);
    ASSERT_TRUE(session.link);
    std::snprintf(session.work_name, sizeof session.work_name, "PUMP");
    session.compiled = true;
  }
  void TearDown() override {
    linklib::CloseLink(session.link);
    SourceFixture::TearDown();
  }

  static std::vector<uint16_t> Program(int words) {
    std::vector<uint16_t> program(words);
    for (int i = 0; i < words; ++i) program[i] = static_cast<uint16_t>(0x1000 + i * 3);
    return program;
  }
  static void WriteProgram(const std::string& name, const std::vector<uint16_t>& words) {
    std::string bytes;
    for (uint16_t word : words) {
      bytes += static_cast<char>(word & 0xFF);
      bytes += static_cast<char>(word >> 8);
    }
    WriteFile(name, bytes);
  }

  uint16_t Register(uint32_t number) {
    uint16_t value = 0;
    EXPECT_TRUE(linklib::ReadRegisters(session.link, number, 1, &value));
    return value;
  }
  // The program words in a channel, after its length register.
  std::vector<uint16_t> ChannelProgram(uint16_t channel, int words) {
    EXPECT_TRUE(linklib::WriteRegisters(session.link, 2049, 1, &channel));
    std::vector<uint16_t> program(words);
    for (int done = 0; done < words; done += 100) {
      const int count = std::min(100, words - done);
      EXPECT_TRUE(linklib::ReadRegisters(session.link, 2051 + done, count, program.data() + done));
    }
    return program;
  }

  std::unique_ptr<testsupport::SimProcess> sim;
};

TEST_F(DownloadCommandTest, TheWorkFileIsRefusedUntilItIsCompiledWithoutErrors) {
  struct Case {
    bool compiled;
    int errors;
    const char* message;
  };
  for (const Case& c : {Case{false, 0, "Not compiled, can't download."},
                        Case{true, 2, "Unresolved compiler errors, can't download."},
                        Case{true, 0, "Can't open object file \"PUMP.KXB\""}}) {
    SCOPED_TRACE(c.message);
    session.compiled = c.compiled;
    session.unresolved_errors = c.errors;
    ClearError();
    DownloadProgram(session, session.work_name);
    EXPECT_TRUE(Written(c.message));
    EXPECT_TRUE(terminal.ScriptDone());
  }
  EXPECT_FALSE(Written("DOWNLOAD WORK FILE"));
}

TEST_F(DownloadCommandTest, TheWorkFileLoadsAndStartsWithAutoStart) {
  const std::vector<uint16_t> program = Program(300);
  WriteProgram("PUMP.KXB", program);
  Keys("2\r\rY\r");  // channel 2, its status register 4, Auto Start YES
  DownloadProgram(session, session.work_name);
  EXPECT_TRUE(terminal.ScriptDone());
  EXPECT_TRUE(Written("DOWNLOAD WORK FILE"));
  EXPECT_TRUE(Written("Status register is at 4"));
  EXPECT_TRUE(Written("Line number register is at 5"));
  EXPECT_TRUE(Written("Sending 2051..2114"));
  EXPECT_TRUE(Written("300 words transmitted."));
  EXPECT_TRUE(Written("Starting program on channel 2"));
  // The window is gone as soon as the sequence ends.
  EXPECT_EQ(ImageRowText(10).find("DOWNLOAD"), std::string::npos);
  EXPECT_EQ(ChannelProgram(2, 300), program);
  EXPECT_EQ(Register(2050), 600);
  EXPECT_EQ(Register(8188) & 0x2, 0x2);  // Auto Start
  EXPECT_EQ(Register(1) & 0x2, 0x2);     // running
  // The values stay for the next download.
  EXPECT_EQ(session.download_channel, 2u);
  EXPECT_EQ(session.download_status_register, 4u);
  EXPECT_EQ(session.download_auto_start, 1);
}

TEST_F(DownloadCommandTest, EscapeAtTheFieldsLeavesTheModuleAlone) {
  WriteProgram("PUMP.KXB", Program(10));
  const std::vector<uint16_t> earlier = Program(20);
  uint16_t select_and_length[2] = {1, 0};
  ASSERT_TRUE(linklib::WriteRegisters(session.link, 2049, 2, select_and_length));
  ASSERT_TRUE(linklib::WriteRegisters(session.link, 2051, 20, earlier.data()));
  select_and_length[1] = 40;
  ASSERT_TRUE(linklib::WriteRegisters(session.link, 2049, 2, select_and_length));
  Keys("\r");
  Escape();
  DownloadProgram(session, session.work_name);
  EXPECT_EQ(Register(2050), 40);
  EXPECT_EQ(ChannelProgram(1, 20), earlier);
}

TEST_F(DownloadCommandTest, ADiskFileIsChosenWithTheSelector) {
  const std::vector<uint16_t> program = Program(64);
  WriteProgram("OTHER.KXB", program);
  session.download_channel = session.last_download_channel = 3;
  session.download_status_register = 6;
  Keys("NONE\r");
  ClearError();
  Keys(
      "OTHER\r"
      "\r\r\r");
  DownloadProgram(session, "");
  EXPECT_TRUE(terminal.ScriptDone());
  EXPECT_TRUE(Written("DOWNLOAD DISK FILE"));
  EXPECT_TRUE(Written("Can't open file \"NONE.KXB\" for read."));
  EXPECT_TRUE(Written("OTHER.KXB"));
  EXPECT_TRUE(Written("64 words transmitted."));
  EXPECT_EQ(ChannelProgram(3, 64), program);
  EXPECT_EQ(Register(1) & 0x4, 0);  // loaded, not started
}

TEST_F(DownloadCommandTest, AFullChannelAsksAndNoAbortsTheLoad) {
  WriteProgram("PUMP.KXB", Program(4999));
  Keys("\r\r\r");
  Keys("n");  // Program full. Continue in channel 2?
  ClearError();
  DownloadProgram(session, session.work_name);
  EXPECT_TRUE(terminal.ScriptDone());
  EXPECT_TRUE(Written("Program full. Continue in channel 2?"));
  EXPECT_TRUE(Written("Program code too long.  Load aborted."));
  EXPECT_TRUE(Written("Sending 2051..2114"));
  EXPECT_EQ(Register(2050), 0);  // the length is never written
}

}  // namespace
}  // namespace kxtdev
