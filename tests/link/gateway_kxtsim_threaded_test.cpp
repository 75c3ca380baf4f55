// kxtload as a process over a Gateway link to kxtsim's Gateway side on its
// pseudo-terminal; the program area is then read back through a Gateway link
// of our own and equals the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "link/link.h"
#include "tests/support/run_process.h"
#include "tests/support/sim_process.h"

namespace linklib {
namespace {

TEST(GatewayKxtsim, KxtloadDownloadReadsBackEqualToTheFile) {
  // Five-digit words among them: a W command of a full block is far longer
  // than a reply line.
  std::vector<uint16_t> program(700);
  for (size_t i = 0; i < program.size(); ++i) program[i] = static_cast<uint16_t>(i * 7919 + 40000);
  const std::string file = ::testing::TempDir() + "gateway_download.kxb";
  {
    std::ofstream out(file, std::ios::binary);
    for (uint16_t w : program) {
      out.put(static_cast<char>(w & 0xFF));
      out.put(static_cast<char>(w >> 8));
    }
  }
  auto sim = testsupport::SimProcess::Start({"--serial", "gateway", "--baud", "57600"});
  ASSERT_TRUE(sim);
  testsupport::ProcessResult run = testsupport::RunProcess(
      std::string(KXT_BIN_DIR) + "/kxtload",
      {"1", file, sim->device_path(), "G", "3", "14", "-M57600,N,8,1"}, "", 60000);
  ASSERT_TRUE(run.finished) << run.output;
  EXPECT_EQ(run.exit_status, 0) << run.output;
  EXPECT_NE(run.output.find("700 words transmitted."), std::string::npos) << run.output;

  Route route{2, {3, 14}};
  std::unique_ptr<LinkHandle, int (*)(LinkHandle*)> owner(
      OpenGateway(sim->device_path().c_str(), &route), CloseLink);
  LinkHandle* link = owner.get();
  ASSERT_NE(link, nullptr);
  SetPortMode8(link, 57600, 0, 1, 500);
  const uint16_t channel = 1;
  ASSERT_EQ(WriteRegisters(link, 2049, 1, &channel), 1) << LinkMessage(link);
  uint16_t length = 0;
  ASSERT_EQ(ReadRegisters(link, 2050, 1, &length), 1) << LinkMessage(link);
  EXPECT_EQ(length, 2 * program.size());
  std::vector<uint16_t> loaded(program.size());
  // A reply line holds 263 characters: 40 five-digit values at a time.
  for (size_t at = 0; at < loaded.size(); at += 40) {
    uint32_t n = static_cast<uint32_t>(std::min<size_t>(40, loaded.size() - at));
    ASSERT_EQ(ReadRegisters(link, static_cast<uint32_t>(2051 + at), n, loaded.data() + at),
              static_cast<int>(n))
        << LinkMessage(link);
  }
  EXPECT_EQ(loaded, program);
  std::remove(file.c_str());
}

}  // namespace
}  // namespace linklib
