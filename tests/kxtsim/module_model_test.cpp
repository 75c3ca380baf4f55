// The module's register rules that the download sequence and the programs'
// identification rely on.
#include "kxtsim/module_model.h"

#include <gtest/gtest.h>

#include <vector>

namespace kxtsim {
namespace {

class ModuleModelTest : public ::testing::Test {
 protected:
  explicit ModuleModelTest(ModuleOptions options = {})
      : model_(std::move(options), [this] { return now_ms_; }) {}

  uint16_t Read(uint32_t reg) {
    uint16_t value = 0xDEAD;
    EXPECT_EQ(model_.ReadRegisters(reg, 1, &value), Access::Ok) << reg;
    return value;
  }
  void Write(uint32_t reg, std::vector<uint16_t> values) {
    ASSERT_EQ(model_.WriteRegisters(reg, static_cast<uint32_t>(values.size()), values.data()),
              Access::Ok);
  }
  // What the download sequence does for a short program into `channel`.
  void Download(int channel, std::vector<uint16_t> words) {
    Write(2049, {static_cast<uint16_t>(channel), 0});
    Write(2051, words);
    Write(2050, {static_cast<uint16_t>(2 * words.size())});
  }

  uint64_t now_ms_ = 1000;
  ModuleModel model_;
};

TEST_F(ModuleModelTest, ProgramAreaBelongsToTheSelectedChannel) {
  Download(1, {0x1111, 0x2222});
  Download(3, {0x3333});
  Write(2049, {1});
  EXPECT_EQ(Read(2050), 4);  // length in bytes
  EXPECT_EQ(Read(2051), 0x1111);
  EXPECT_EQ(Read(2052), 0x2222);
  Write(2049, {3});
  EXPECT_EQ(Read(2050), 2);
  EXPECT_EQ(Read(2051), 0x3333);
  EXPECT_EQ(Read(2052), 0);
  // The last program word of a channel.
  Write(7049, {0x7777});
  EXPECT_EQ(Read(7049), 0x7777);
  Write(2049, {1});
  EXPECT_EQ(Read(7049), 0);
}

TEST_F(ModuleModelTest, ZeroIntoLengthHaltsAndClearsTheSelectedChannelOnly) {
  Download(1, {0x1111});
  Download(2, {0x2222});
  Write(1, {0x3});
  EXPECT_EQ(Read(1), 0x3);
  Write(2049, {2, 0});
  EXPECT_EQ(Read(1), 0x1) << "channel 2 halted, channel 1 still runs";
  EXPECT_EQ(Read(2051), 0);
  Write(2049, {1});
  EXPECT_EQ(Read(2051), 0x1111);
}

TEST_F(ModuleModelTest, ChannelSelectOutsideOneToFourClosesTheProgramArea) {
  Download(1, {0x1111});
  // The download of three channels starting at 3 erases 5, 4, 3 in turn.
  Write(2049, {5, 0});
  Write(2050, {0x4444});
  Write(2049, {1});
  EXPECT_EQ(Read(2050), 2) << "a selection of 5 must not reach channel 1";
  EXPECT_EQ(Read(2051), 0x1111);
}

TEST_F(ModuleModelTest, RunControlStartsOnlyChannelsHoldingAProgram) {
  Download(2, {0x1234});
  Write(1, {0xF});
  EXPECT_EQ(Read(1), 0x2);
  Write(1, {0x0});
  EXPECT_EQ(Read(1), 0x0);
}

TEST_F(ModuleModelTest, StatusRegisterShowsRunningAndLineNumber) {
  Download(1, {0x1234});
  EXPECT_EQ(Read(2) & 0x8000, 0);
  Write(1, {0x1});
  EXPECT_EQ(Read(2) & 0x8000, 0x8000);
  uint16_t line = Read(3);
  now_ms_ += 500;
  EXPECT_NE(Read(3), line) << "the line number moves while the channel runs";
  // Moving the status register of channel 1 to 100.
  Write(8189, {100});
  EXPECT_EQ(Read(8189), 100);
  EXPECT_EQ(Read(100) & 0x8000, 0x8000);
  EXPECT_EQ(Read(2) & 0x8000, 0);
  Write(2049, {1, 0});
  EXPECT_EQ(Read(100) & 0x8000, 0);
}

TEST_F(ModuleModelTest, StatusLocationsDefaultAndRefuseValuesOutOfRange) {
  for (uint32_t c = 1; c <= 4; ++c) EXPECT_EQ(Read(8188 + c), 2 * c);
  Write(8190, {2048});
  EXPECT_EQ(Read(8190), 4);
  Write(8190, {1});
  EXPECT_EQ(Read(8190), 4);
  Write(8190, {2047});
  EXPECT_EQ(Read(8190), 2047);
}

TEST_F(ModuleModelTest, AutoStartRegisterKeepsMarkerAndTakesOnlyTheMask) {
  EXPECT_EQ(Read(8188), 0x9990);
  Write(8188, {0x9995});
  EXPECT_EQ(Read(8188), 0x9995);
  Write(8188, {0x0002});
  EXPECT_EQ(Read(8188), 0x9992);
  Write(8188, {0xFFF0});
  EXPECT_EQ(Read(8188), 0x9990);
}

TEST_F(ModuleModelTest, IdentificationBlock) {
  uint16_t block[13];
  ASSERT_EQ(model_.ReadRegisters(8176, 13, block), Access::Ok);
  EXPECT_EQ(block[0], 0x8001);
  std::string name;
  for (int i = 1; i <= 10; ++i) {
    name += static_cast<char>(block[i] >> 8);
    name += static_cast<char>(block[i] & 0xFF);
  }
  EXPECT_EQ(name, "KXT4 Simulated      ");
  EXPECT_EQ(block[12], 0x9990);
  // Read-only.
  Write(8177, {0x4142});
  EXPECT_EQ(Read(8177), block[1]);
}

TEST_F(ModuleModelTest, CtsInputsChangeOverTime) {
  uint16_t first = Read(8187);
  bool changed = false;
  for (int step = 0; step < 8 && !changed; ++step) {
    now_ms_ += 300;
    changed = Read(8187) != first;
    EXPECT_EQ(Read(8187) & ~0xF, 0);
  }
  EXPECT_TRUE(changed);
}

TEST_F(ModuleModelTest, PlainStorageAndRanges) {
  Write(40000, {1, 2, 3});
  EXPECT_EQ(Read(40001), 2);
  Write(65535, {9});
  EXPECT_EQ(Read(65535), 9);
  uint16_t words[2];
  EXPECT_EQ(model_.ReadRegisters(65535, 2, words), Access::IllegalAddress);
  EXPECT_EQ(model_.ReadRegisters(0, 1, words), Access::IllegalAddress);
  EXPECT_EQ(model_.WriteRegisters(65535, 2, words), Access::IllegalAddress);
}

TEST_F(ModuleModelTest, StatusWordsAndFileBanksAreSeparateStores) {
  uint16_t value = 0x5A5A;
  ASSERT_EQ(model_.WriteStatusWords(10, 1, &value), Access::Ok);
  EXPECT_EQ(Read(10), 0);
  uint16_t read = 0;
  ASSERT_EQ(model_.ReadStatusWords(10, 1, &read), Access::Ok);
  EXPECT_EQ(read, 0x5A5A);
  EXPECT_EQ(model_.ReadStatusWords(8192, 2, &read), Access::IllegalAddress);

  uint16_t records[2] = {7, 8};
  ASSERT_EQ(model_.WriteFileRecords(3, 9998, 2, records), Access::Ok);
  uint16_t back[2] = {};
  ASSERT_EQ(model_.ReadFileRecords(3, 9998, 2, back), Access::Ok);
  EXPECT_EQ(back[1], 8);
  ASSERT_EQ(model_.ReadFileRecords(4, 9998, 2, back), Access::Ok);
  EXPECT_EQ(back[0], 0) << "each file number is its own bank";
  EXPECT_EQ(model_.WriteFileRecords(3, 9999, 2, records), Access::IllegalAddress);
}

struct FaultyModule : ModuleModelTest {
  FaultyModule() : ModuleModelTest(ModuleOptions{"Other Box", true, true, true, 2, 3}) {}
};

TEST_F(FaultyModule, FaultOptionsShowInTheRegisters) {
  EXPECT_EQ(Read(8188), 0x0000) << "no identification marker";
  Write(8188, {0x000F});
  EXPECT_EQ(Read(8188), 0x0000) << "no Auto Start";
  Write(8189, {100});
  EXPECT_EQ(Read(8189), 2) << "no flexible status registers";
  EXPECT_EQ(Read(8176), 0x8003);
  EXPECT_EQ(Read(8177), ('O' << 8) | 't');
  // Channel 2 runs from the start and never halts.
  EXPECT_EQ(Read(1), 0x2);
  EXPECT_EQ(Read(4) & 0x8000, 0x8000);
  Write(2049, {2, 0});
  Write(1, {0});
  EXPECT_EQ(Read(4) & 0x8000, 0x8000);
}

}  // namespace
}  // namespace kxtsim
