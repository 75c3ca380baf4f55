#include "download/block_plan.h"

#include <gtest/gtest.h>

#include <vector>

namespace download {
namespace {

struct Block {
  uint32_t first;
  uint32_t words;
};

// The blocks that fill one channel from `start`, as the transfer asks for them.
std::vector<Block> FillChannel(SequenceStyle style, uint32_t start) {
  std::vector<Block> blocks;
  for (uint32_t next = start; !ChannelFull(next);) {
    uint32_t words = BlockWords(RulesFor(style), next);
    blocks.push_back({next, words});
    next += words;
  }
  return blocks;
}

TEST(BlockPlanTest, ChannelsFillWithoutGapOverlapOrOverlongRequest) {
  struct Case {
    SequenceStyle style;
    uint32_t start;
    size_t whole_blocks;
    uint32_t block_words;
    Block last;
  } cases[] = {
      // kxtload: 49 x 100 and a last block of 99 (6951..7049).
      {SequenceStyle::Downloader, kFirstChannelStart, 49, 100, {6951, 99}},
      // A continuation channel takes 5000 words from 2050: 50 x 100.
      {SequenceStyle::Downloader, kContinuationStart, 49, 100, {6950, 100}},
      // kxtdev: blocks of 64 from 2051 up to 6915 and a last one of 71 (6979..7049).
      {SequenceStyle::Environment, kFirstChannelStart, 77, 64, {6979, 71}},
      {SequenceStyle::Environment, kContinuationStart, 77, 64, {6978, 72}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "start " << c.start << " style "
                 << (c.style == SequenceStyle::Downloader ? "kxtload" : "kxtdev"));
    std::vector<Block> blocks = FillChannel(c.style, c.start);
    ASSERT_EQ(blocks.size(), c.whole_blocks + 1);
    uint32_t expected_first = c.start;
    for (size_t i = 0; i < blocks.size(); ++i) {
      EXPECT_EQ(blocks[i].first, expected_first) << "block " << i;
      EXPECT_LE(blocks[i].words, 127u);
      if (i < c.whole_blocks) {
        EXPECT_EQ(blocks[i].words, c.block_words) << "block " << i;
      }
      expected_first += blocks[i].words;
    }
    EXPECT_EQ(blocks[c.whole_blocks].first, c.last.first);
    EXPECT_EQ(blocks[c.whole_blocks].words, c.last.words);
    EXPECT_EQ(blocks.back().first + blocks.back().words, kProgramAreaEnd);
  }
}

TEST(BlockPlanTest, ChannelFullOnceRegister7048IsPassed) {
  EXPECT_FALSE(ChannelFull(7048));  // a 4997-word program ends here
  EXPECT_TRUE(ChannelFull(7049));   // 4998 words
  EXPECT_TRUE(ChannelFull(7050));   // 4999 words
}

TEST(BlockPlanTest, NextChannelCountsFirstChannelWords) {
  struct Case {
    int first;
    uint32_t total;
    int next;
  } cases[] = {{1, 4998, 1}, {1, 4999, 2}, {1, 9999, 3}, {1, 14999, 4},
               {3, 4999, 4}, {4, 4999, 5}, {2, 4998, 2}};
  for (const Case& c : cases)
    EXPECT_EQ(NextChannel(c.first, c.total), c.next) << c.first << " after " << c.total;
}

}  // namespace
}  // namespace download
