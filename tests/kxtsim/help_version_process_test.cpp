// kxtsim --help and --version: a completed run, exit status 0, and the
// expected first line, whatever else stands on the command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/run_process.h"

namespace {

TEST(KxtsimHelpVersionTest, ExitZeroWithTheExpectedFirstLine) {
  const std::string kxtsim = std::string(KXT_BIN_DIR) + "/kxtsim";
  const std::string usage = "usage: kxtsim [--tcp PORT] [--serial symax|gateway|rtu|ascii]";
  const std::string banner = "kxtsim simulated KXT4 module\n";
  struct Case {
    std::vector<std::string> args;
    std::string start;
  } cases[] = {
      {{"--help"}, usage},
      {{"--tcp", "0", "--help"}, usage},  // no listening socket opened first
      {{"--version"}, banner},
      {{"--tcp", "0", "--version", "--bogus"}, banner},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    testsupport::ProcessResult result = testsupport::RunProcess(kxtsim, c.args);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.output.rfind(c.start, 0), 0u) << result.output;
    if (c.start == banner) {
      EXPECT_EQ(result.output, banner);
    }
  }
  // A value is never read as a request: --name takes "--help" as the name.
  testsupport::ProcessResult result = testsupport::RunProcess(kxtsim, {"--name", "--help"});
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.output.rfind("kxtsim: give --tcp PORT", 0), 0u) << result.output;
}

}  // namespace
