// kxtload run as a process: its messages and exit status for every way the
// command line and the prompts can end before a module is reached.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/run_process.h"

namespace {

const std::string kBanner = "Veltrane KXT Downloader 23Dec98\n";
const std::string kKxtload = std::string(KXT_BIN_DIR) + "/kxtload";

// A directory holding prog.kxb (two words), removed afterwards.
class KxtloadCommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/kxtload_cl_XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    directory_ = name;
    program_ = directory_ + "/prog.kxb";
    FILE* file = std::fopen(program_.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("abcd", file);
    std::fclose(file);
  }
  void TearDown() override {
    unlink(program_.c_str());
    rmdir(directory_.c_str());
  }
  std::string directory_;
  std::string program_;
};

TEST_F(KxtloadCommandLineTest, MessagesAndExitStatus) {
  const std::string base = directory_ + "/prog";  // opens only with ".kxb" added
  struct Case {
    std::vector<std::string> args;
    std::string input;
    std::string output;  // after the banner
    int status;
  } cases[] = {
      {{"-Z"}, "", "Unrecognized switch: \"-Z\"\n", 1},
      {{"5", base, "a.b"}, "", "Invalid channel 5. Must be 1..4.\n", 1},
      {{"65537", base, "a.b"}, "", "Invalid channel 65537. Must be 1..4.\n", 1},
      {{"1", directory_ + "/missing", "a.b"}, "", "Can't open input file.\n", 1},
      {{"1", base, "nodots"}, "", "Illegal Port or Base Address \"NODOTS\"\n", 1},
      // COM10: is no COM form (its fifth character is a digit) and has no ".".
      {{"1", base, "com10:"}, "", "Illegal Port or Base Address \"COM10:\"\n", 1},
      {{"1", base, "com9:"}, "", "Can't OpenSymax(COM9:).\n", 1},
      {{"1", base, "com9:", "G"}, "", "Can't OpenGateway(COM9:).\n", 1},
      {{"1", base, "COM9:19200,n,8,1", "-M9600,E,8,1"},
       "",
       "\nWhen using -M, don't provide setup information after COM9:\n"
       "  Using settings: 19200,N,8,1\n\n"
       "Can't OpenSymax(COM9:).\n",
       1},
      // A device path is taken whole and as typed.
      {{"1", base, "/no/such/ttyX"}, "", "Can't OpenSymax(/no/such/ttyX).\n", 1},
      {{"1", base, "10.0.0.5:5020", "7,8"}, "", "Modbus TCP route can only have one drop.\n", 1},
      {{"1", base, "127.0.0.1:99999"}, "", "Can't open TCP connection to 127.0.0.1:99999\n", 1},
      // What is missing is asked for on standard input, in this order.
      {{},
       "2 x\n0\n" + base + "\nfoo\n",
       "Channel (1..4)? Status register (2..2047)? File? Port, IP address, or host name? "
       "Illegal Port or Base Address \"FOO\"\n",
       1},
      {{"-S5"},
       "9\n",
       "Channel (1..4)? Status register (2..2047)? Invalid channel 9. Must be 1..4.\n",
       1},
      {{}, "", "Channel (1..4)? Status register (2..2047)? Invalid channel 0. Must be 1..4.\n", 1},
      {{"3"}, directory_ + "/missing\n", "File? Can't open input file.\n", 1},
      {{"3", base}, "", "Port, IP address, or host name? Illegal Port or Base Address \"\"\n", 1},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const std::string& arg : c.args) joined += arg + " ";
    SCOPED_TRACE(joined);
    testsupport::ProcessResult result = testsupport::RunProcess(kKxtload, c.args, c.input);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.output, kBanner + c.output);
    EXPECT_EQ(result.exit_status, c.status);
  }
}

const std::string kUsage =
    "Usage is:\n"
    "  KXTLOAD <channel> <file>[.KXB] COMn:[baud,parity,data,stop] [<route>] switches\n"
    "  KXTLOAD <channel> <file>[.KXB] n.n.n.n[:port] [<route>] [switches] for Modbus TCP.\n"
    "  KXTLOAD <channel> <file>[.KXB] host.dom[:port] [<route>] [switches] for Modbus TCP.\n"
    "  where <channel> is the KXT channel (1 through 4),\n"
    "  COMn: is a PC COM port name (for example COM1:),\n"
    "  n.n.n.n is an IP address in dotted decimal form,\n"
    "  host.dom is an IP host name.\n"
    "\n"
    "Switches:\n"
    "  -A        Enable autostart for download program.\n"
    "  -S<reg>   Move status registers to reg and reg+1\n"
    "  -C<count> Load long program in <count> contiguous channels.\n"
    "  -M<baud>,[E|O|N],[7|8],[1|2]   Set port mode (COM).\n"
    "  -N        Don't erase before loading.\n"
    "  -?        Display this help message.\n";

// Asking for the usage or the version is a completed run.
TEST_F(KxtloadCommandLineTest, UsageAndVersionEndWithStatusZero) {
  for (const char* help : {"-?", "--help"}) {
    SCOPED_TRACE(help);
    testsupport::ProcessResult result = testsupport::RunProcess(kKxtload, {help});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.output, kBanner + kUsage);
  }
  testsupport::ProcessResult result = testsupport::RunProcess(kKxtload, {"--version"});
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.output, kBanner);
}

// Overlong arguments and answers never overrun: names and routes are
// refused whole, settings are cut, and answers too long for the number
// prompts are dropped.
TEST_F(KxtloadCommandLineTest, OverlongArgumentsAndAnswersNeverOverrun) {
  const std::string huge(100000, 'x');
  const std::string program = directory_ + "/prog";
  struct Case {
    std::vector<std::string> args;
    std::string input;
    std::string output;  // after the banner
  } cases[] = {
      {{"1", huge, "a.b"}, "", "File name too long: at most 4095 characters.\n"},
      {{"1", program, "127.0.0.1:99999" + huge},
       "",
       "Address too long: at most 4095 characters.\n"},
      {{"1", program, "127.0.0.1", huge}, "", "Route too long: at most 80 characters.\n"},
      {{"1", program, "127.0.0.1:99999", "-M" + huge},
       "",
       "Can't open TCP connection to 127.0.0.1:99999\n"},
      {{"1"}, huge + "\n", "File? File name too long: at most 4095 characters.\n"},
      {{"1", program},
       huge + "\n",
       "Port, IP address, or host name? Address too long: at most 4095 characters.\n"},
      {{},
       huge + "\n" + huge + "\n" + huge + "\n",
       "Channel (1..4)? Status register (2..2047)? Invalid channel 0. Must be 1..4.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    testsupport::ProcessResult result = testsupport::RunProcess(kKxtload, c.args, c.input);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.output, kBanner + c.output);
  }
}

}  // namespace
