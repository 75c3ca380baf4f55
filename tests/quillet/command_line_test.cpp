#include "quillet/command_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/argument_text.h"
#include "quillet/link_opening.h"
#include "tests/support/run_process.h"
#include "tests/support/sim_process.h"

namespace quillet {
namespace {

struct RunResult {
  Outcome outcome;
  std::string printed;
  RunOptions options;
};

// Runs the command line and the link opening as main does, with `input` on
// standard input, and returns what was printed.
RunResult RunQuillet(std::vector<const char*> args, const char* input = "") {
  args.insert(args.begin(), "quillet");
  char* buffer = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&buffer, &size);
  std::string in_text(input);
  FILE* in = fmemopen(in_text.data(), in_text.size() + 1, "r");
  RunResult run{Outcome::Continue, "", RunOptions()};
  run.outcome = ParseCommandLine(static_cast<int>(args.size()), args.data(), in, out, run.options);
  if (run.outcome == Outcome::Continue) run.outcome = OpenLinkFromOptions(run.options, out);
  std::fclose(in);
  std::fclose(out);
  run.printed.assign(buffer, size);
  std::free(buffer);
  if (run.options.link) linklib::CloseLink(run.options.link);
  return run;
}

TEST(QuilletCommandLine, SwitchesAreTakenLeftToRight) {
  RunResult run = RunQuillet({"com2:", "1,5", "-l30", "-x", "-r1A"});
  EXPECT_EQ(run.options.route.count, 2);
  EXPECT_EQ(run.options.route.drops[0], 1);
  EXPECT_EQ(run.options.route.drops[1], 5);
  EXPECT_EQ(run.options.register_count, 20u);
  EXPECT_EQ(run.options.start_register, 0x1Au);
  EXPECT_STREQ(run.options.address, "COM2:");

  // -R read before -X: decimal, and "1A" reads as 1.
  EXPECT_EQ(RunQuillet({"com2:", "-r1A", "-x"}).options.start_register, 1u);
}

TEST(QuilletCommandLine, RegisterCountAndFileNumber) {
  struct Case {
    const char* arg;
    uint32_t count;
  } cases[] = {{"-L", 1}, {"-L0", 1}, {"-L-3", 20}, {"-L21", 20}, {"-L7", 7}, {"/l12", 12}};
  for (const Case& c : cases) {
    RunOptions options;
    const char* argv[] = {"quillet", "1.2.3.4", c.arg, "-?"};
    FILE* out = std::fopen("/dev/null", "w");
    ParseCommandLine(4, argv, stdin, out, options);
    std::fclose(out);
    EXPECT_EQ(options.register_count, c.count) << c.arg;
  }
}

// Every refusal before the screen: its message and the end of the run.
TEST(QuilletCommandLine, FailureTable) {
  struct Case {
    std::vector<const char*> args;
    const char* expected;
  } cases[] = {
      {{"-Z"}, "Unrecognized switch: \"-Z\"\n"},
      {{"COM2:", "-9"}, "Unrecognized switch: \"-9\"\n"},
      {{"COM2:", "1 2 3 4 5 6 7 8 9"}, "Too many drops in route \"1 2 3 4 5 6 7 8 9\"\n"},
      {{"COM2:", "1;2"}, "Illegal character ';' in route field \"1;2\"\n"},
      {{"COM10:"}, "Illegal Port or Base Address \"COM10:\"\n"},
      {{"nowhere"}, "Illegal Port or Base Address \"NOWHERE\"\n"},
      {{"COM2:9600,E,8,1", "-B"}, "Modbus route must have exactly one drop.\n"},
      {{"COM2:9600,E,8,1", "1", "2", "-B"}, "Modbus route must have exactly one drop.\n"},
      {{"127.0.0.1", "1", "2"}, "Modbus TCP route can only have one drop.\n"},
      {{"COM2:9600,E,8,1", "-G"}, "Can't OpenGateway(COM2:).\n"},
      {{"COM2:9600,E,8,1", "1", "-B"}, "Can't OpenModbusRTU(COM2:).\n"},
      {{"COM2:9600,E,8,1", "1", "-A"}, "Can't OpenModbusAscii(COM2:).\n"},
      {{"COM2:9600,E,8,1", "1", "-A", "-G"}, "Can't OpenGateway(COM2:).\n"},
      {{"COM2:9600,E,8,1"}, "Can't OpenSymax(COM2:).\n"},
      {{"CA00"}, "Can't OpenSylink(CA00).\n"},
      {{"cafe.example"}, "Can't OpenSylink(CAFE.EXAMPLE).\n"},
      {{"S"}, "Can't access SFI610.\n"},
      {{"SFI"}, "Can't access SFI610.\n"},
      {{"SA85"}, "Can't access SA85.\n"},
      {{"sa85:1"}, "Can't access SA85.\n"},
      {{"127.0.0.1:1"}, "Can't open TCP connection to 127.0.0.1:1\n"},
  };
  for (const Case& c : cases) {
    RunResult run = RunQuillet(c.args);
    EXPECT_EQ(run.outcome, Outcome::Exit) << c.expected;
    EXPECT_NE(run.printed.find(c.expected), std::string::npos)
        << "expected " << c.expected << "got " << run.printed;
  }
}

TEST(QuilletCommandLine, HelpIsPrintedTheMomentItIsMet) {
  RunResult run = RunQuillet({"-?", "-Z", "COM10:"});
  EXPECT_EQ(run.outcome, Outcome::ExitSuccess);
  EXPECT_EQ(run.printed.rfind("\nUsage is:\n", 0), 0u);
  EXPECT_NE(
      run.printed.find("  update without moving.  F10 to acknowledge error.  Escape to exit."),
      std::string::npos);
  EXPECT_EQ(run.printed.back(), '.');  // the last usage line has no line break
  EXPECT_EQ(run.printed.find("Unrecognized"), std::string::npos);
}

// Asking for the usage or the version is a completed run (status 0);
// --version prints the banner line alone.
TEST(QuilletCommandLine, UsageAndVersionAsAProcess) {
  const std::string quillet = std::string(KXT_BIN_DIR) + "/quillet";
  const std::string banner = "Veltrane Sy/Max Register Editor QUILLET 18Jan99\n";
  struct Case {
    std::vector<std::string> args;
    std::string start;  // what the output begins with
  } cases[] = {
      {{"--help"}, banner + "Type QUILLET -? for more information.\n\nUsage is:\n"},
      {{"-?"}, banner + "Type QUILLET -? for more information.\n\nUsage is:\n"},
      {{"COM10:", "--help", "-Z"}, banner + "Type QUILLET -? for more information.\n\nUsage is:\n"},
      {{"--version"}, banner},
      {{"-Z", "--version"}, banner},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    testsupport::ProcessResult result = testsupport::RunProcess(quillet, c.args);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.output.rfind(c.start, 0), 0u) << result.output;
    if (c.args.back() == "--version") {
      EXPECT_EQ(result.output, banner);
    }
  }
}

TEST(QuilletCommandLine, PortSettingsAfterTheColonWinOverM) {
  RunResult run = RunQuillet({"COM3:9600,E,8,1", "-M19200,N,8,1"});
  EXPECT_NE(run.printed.find("\nWhen using -M, don't provide setup information after COM3:\n"
                             "  Using settings: 9600,E,8,1\n\n"),
            std::string::npos);
  EXPECT_STREQ(run.options.port_settings, "9600,E,8,1");
  EXPECT_STREQ(run.options.address, "COM3:");

  RunResult bare = RunQuillet({"COM3:"});
  EXPECT_NE(bare.printed.find("Use MODE to set port parameters before running QUILLET.\n"),
            std::string::npos);
}

// The address (a device path or host name) and the route are never cut
// into another: kept whole up to their limits, refused beyond.
TEST(QuilletCommandLine, AddressPromptAndLongTextsAreKeptWholeOrRefused) {
  RunResult prompted = RunQuillet({}, "nowhere at all\n");
  EXPECT_NE(prompted.printed.find("Port, IP, or Base Address? "), std::string::npos);
  EXPECT_NE(prompted.printed.find("Illegal Port or Base Address \"NOWHERE AT ALL\"\n"),
            std::string::npos);

  const std::string longest(kAddressLimit - 1, 'Q');
  const std::string too_long(kAddressLimit, 'Q');
  const std::string route_too_long(kTextLimit, '1');
  struct Case {
    std::vector<const char*> args;
    std::string input;
    std::string expected;
  } cases[] = {
      {{longest.c_str()}, "", "Illegal Port or Base Address \"" + longest + "\"\n"},
      {{}, longest + "\n", "Illegal Port or Base Address \"" + longest + "\"\n"},
      {{too_long.c_str(), "-?"}, "", "Address too long: at most 4095 characters.\n"},
      {{}, too_long + "\n", "Address too long: at most 4095 characters.\n"},
      {{"COM2:", route_too_long.c_str()}, "", "Route too long: at most 83 characters.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected.substr(0, 40));
    RunResult run = RunQuillet(c.args, c.input.c_str());
    EXPECT_EQ(run.outcome, Outcome::Exit);
    EXPECT_EQ(run.printed.find("Usage"), std::string::npos);
    EXPECT_NE(run.printed.find(c.expected), std::string::npos) << run.printed.substr(0, 200);
  }
}

// The start register is checked once the link is open, against the highest
// register of its kind (65535 for Modbus TCP).
TEST(QuilletCommandLine, StartRegisterIsCheckedAfterTheOpen) {
  auto sim = testsupport::SimProcess::Start({"--tcp", "0"});
  ASSERT_TRUE(sim);
  std::string address = "127.0.0.1:" + std::to_string(sim->tcp_port());
  struct Case {
    const char* start;
    bool accepted;
  } cases[] = {
      {"-R0", false}, {"-R1", true}, {"-R8193", true}, {"-R65535", true}, {"-R65536", false}};
  for (const Case& c : cases) {
    RunResult run = RunQuillet({address.c_str(), c.start});
    EXPECT_EQ(run.outcome == Outcome::Continue, c.accepted) << c.start << run.printed;
    if (!c.accepted) {
      EXPECT_NE(run.printed.find("Illegal start register " + std::string(c.start + 2) + "\n"),
                std::string::npos);
    }
  }
}

// A TCP port beyond 16 bits is refused, never wrapped: the port of a
// listening kxtsim plus 65536 must not reach it.
TEST(QuilletCommandLine, PortAbove65535IsRefusedNotWrapped) {
  auto sim = testsupport::SimProcess::Start({"--tcp", "0"});
  ASSERT_TRUE(sim);
  for (uint32_t port : {uint32_t(sim->tcp_port()) + 65536, uint32_t(sim->tcp_port()) + 131072}) {
    std::string address = "127.0.0.1:" + std::to_string(port);
    RunResult run = RunQuillet({address.c_str()});
    EXPECT_EQ(run.outcome, Outcome::Exit) << address;
    EXPECT_EQ(run.options.link, nullptr);
    EXPECT_NE(run.printed.find("Can't open TCP connection to " + address + "\n"), std::string::npos)
        << run.printed;
  }
  std::string address = "127.0.0.1:" + std::to_string(sim->tcp_port());
  EXPECT_EQ(RunQuillet({address.c_str()}).outcome, Outcome::Continue);
}

TEST(QuilletCommandLine, LeadingDigitConversions) {
  EXPECT_EQ(cli::LeadingDecimal(""), 0);
  EXPECT_EQ(cli::LeadingDecimal("-12x"), -12);
  EXPECT_EQ(cli::LeadingDecimal("99999999999999"), INT32_MAX);
  EXPECT_EQ(cli::LeadingHex("1aG"), 0x1Au);
  EXPECT_EQ(cli::LeadingHex("FFFFFFFFFFFF"), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace quillet
