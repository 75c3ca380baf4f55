// The Modbus TCP link against kxtsim over loopback: registers, file records
// of both reference types and the register editor's input-register read.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "link/link.h"
#include "tests/support/sim_process.h"

namespace linklib {
namespace {

class ModbusTcpKxtsim : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { sim_ = testsupport::SimProcess::Start({"--tcp", "0"}).release(); }
  static void TearDownTestSuite() {
    delete sim_;
    sim_ = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(sim_, nullptr) << "kxtsim did not start";
    link_ = OpenModbusTCP("127.0.0.1", static_cast<uint16_t>(sim_->tcp_port()), 1);
    ASSERT_NE(link_, nullptr);
  }
  void TearDown() override {
    SetProgramStyle(ProgramStyle::Downloader);
    if (link_) CloseLink(link_);
  }

  static testsupport::SimProcess* sim_;
  LinkHandle* link_ = nullptr;
  uint16_t words_[128] = {};
};

testsupport::SimProcess* ModbusTcpKxtsim::sim_ = nullptr;

std::vector<uint16_t> Pattern(uint16_t base, size_t count) {
  std::vector<uint16_t> words(count);
  for (size_t i = 0; i < count; ++i) words[i] = static_cast<uint16_t>(base + 3 * i);
  return words;
}

TEST_F(ModbusTcpKxtsim, RegistersWrittenAreReadBack) {
  std::vector<uint16_t> block = Pattern(0x4000, 125);
  ASSERT_EQ(WriteRegisters(link_, 1000, 125, block.data()), 1) << LinkMessage(link_);
  ASSERT_EQ(ReadRegisters(link_, 1000, 125, words_), 1) << LinkMessage(link_);
  EXPECT_EQ(std::vector<uint16_t>(words_, words_ + 125), block);
  // The module's identification block: port word and the marker.
  ASSERT_EQ(ReadRegisters(link_, 8176, 13, words_), 1) << LinkMessage(link_);
  EXPECT_EQ(words_[0] & 0x8000, 0x8000);
  EXPECT_EQ(words_[12] & 0xFFF0, 0x9990);
}

TEST_F(ModbusTcpKxtsim, FileRecordsKeepABankPerFile) {
  std::vector<uint16_t> first = Pattern(0x1000, 5);
  std::vector<uint16_t> second = Pattern(0x2000, 5);
  ASSERT_EQ(WriteFileRecords(link_, 3, 10, 5, first.data()), 1) << LinkMessage(link_);
  ASSERT_EQ(WriteFileRecords(link_, 4, 10, 5, second.data()), 1) << LinkMessage(link_);
  ASSERT_EQ(ReadFileRecords(link_, 3, 10, 5, words_), 1) << LinkMessage(link_);
  EXPECT_EQ(std::vector<uint16_t>(words_, words_ + 5), first);
  ASSERT_EQ(ReadFileRecords(link_, 4, 12, 3, words_), 1) << LinkMessage(link_);
  EXPECT_EQ(std::vector<uint16_t>(words_, words_ + 3),
            std::vector<uint16_t>(second.begin() + 2, second.end()));
}

TEST_F(ModbusTcpKxtsim, Read3XInBothForms) {
  std::vector<uint16_t> block = Pattern(0x3000, 4);
  ASSERT_EQ(WriteRegisters(link_, 500, 4, block.data()), 1) << LinkMessage(link_);
  // Reference type 3: the record number is the register number.
  ASSERT_EQ(Read3XRegisters(link_, 0, 500, 4, words_), 1) << LinkMessage(link_);
  EXPECT_EQ(std::vector<uint16_t>(words_, words_ + 4), block);
  SetProgramStyle(ProgramStyle::RegisterEditor);
  ASSERT_EQ(Read3XRegisters(link_, 0, 500, 4, words_), 1) << LinkMessage(link_);
  EXPECT_EQ(std::vector<uint16_t>(words_, words_ + 4), block);
}

TEST_F(ModbusTcpKxtsim, ReadPastTheLastRegisterIsAnException) {
  EXPECT_EQ(ReadRegisters(link_, 65535, 2, words_), 0);
  EXPECT_STREQ(LinkMessage(link_), "ILLEGAL DATA ADDRESS");
  ASSERT_EQ(ReadRegisters(link_, 65535, 1, words_), 1) << LinkMessage(link_);
}

}  // namespace
}  // namespace linklib
