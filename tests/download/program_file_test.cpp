#include "download/program_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace download {
namespace {

// A compiled program file of the given bytes, removed at the end of the test.
class ProgramFileTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (!path_.empty()) unlink(path_.c_str());
  }
  const char* WriteFile(const std::vector<unsigned char>& bytes) {
    char name[] = "/tmp/kxb_XXXXXX";
    int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);
    path_ = name;
    return path_.c_str();
  }
  std::string path_;
};

std::vector<unsigned char> CountingBytes(size_t count) {
  std::vector<unsigned char> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + 3);
  return bytes;
}

TEST_F(ProgramFileTest, WordsAreLowByteFirst) {
  ProgramFile file;
  ASSERT_TRUE(file.Open(WriteFile({0x34, 0x12, 0xFF, 0x00, 0x00, 0xFF})));
  uint16_t words[4] = {};
  EXPECT_EQ(file.ReadWords(words, 4), 3u);
  EXPECT_EQ(words[0], 0x1234);
  EXPECT_EQ(words[1], 0x00FF);
  EXPECT_EQ(words[2], 0xFF00);
}

// Reading in blocks of any size delivers size/2 words, front to back, once;
// a trailing odd byte is never delivered.
TEST_F(ProgramFileTest, BlocksDeliverEveryWholeWordOnce) {
  struct Case {
    size_t bytes;
    size_t block;
  } cases[] = {{0, 100},    {1, 100},   {2, 1},      {201, 100}, {200, 100},
               {9998, 100}, {1001, 64}, {1000, 300}, {999, 127}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bytes << " bytes in blocks of " << c.block);
    std::vector<unsigned char> bytes = CountingBytes(c.bytes);
    ProgramFile file;
    ASSERT_TRUE(file.Open(WriteFile(bytes)));
    std::vector<uint16_t> all;
    std::vector<uint16_t> block(c.block);
    for (;;) {
      size_t got = file.ReadWords(block.data(), c.block);
      ASSERT_LE(got, c.block);
      if (got == 0) break;
      all.insert(all.end(), block.begin(), block.begin() + static_cast<long>(got));
    }
    ASSERT_EQ(all.size(), c.bytes / 2);
    for (size_t i = 0; i < all.size(); ++i)
      ASSERT_EQ(all[i], bytes[2 * i] | (bytes[2 * i + 1] << 8)) << "word " << i;
    EXPECT_EQ(file.ReadWords(block.data(), c.block), 0u) << "nothing after the end";
    unlink(path_.c_str());
    path_.clear();
  }
}

TEST_F(ProgramFileTest, MissingOrClosedFileGivesNoWords) {
  ProgramFile file;
  EXPECT_FALSE(file.Open("/nonexistent/dir/prog.KXB"));
  EXPECT_FALSE(file.IsOpen());
  uint16_t word = 0;
  EXPECT_EQ(file.ReadWords(&word, 1), 0u);
  ASSERT_TRUE(file.Open(WriteFile({1, 2, 3, 4})));
  file.Close();
  file.Close();
  EXPECT_EQ(file.ReadWords(&word, 1), 0u);
}

}  // namespace
}  // namespace download
