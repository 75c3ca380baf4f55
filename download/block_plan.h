// The module's program area and how the two styles cut a program into
// register writes: every block ends at register 7049 or earlier and stays
// below the link's 128 registers per request.
#pragma once

#include <cstdint>

namespace download {

// The two ways the download runs: kxtload's command-line style and kxtdev's
// window style.
enum class SequenceStyle { Downloader, Environment };

constexpr uint32_t kRunControlRegister = 1;
constexpr uint32_t kLoadChannelSelectRegister = 2049;
constexpr uint32_t kProgramLengthRegister = 2050;
constexpr uint32_t kFirstChannelStart = 2051;  // the first channel's 2050 holds the length
constexpr uint32_t kContinuationStart = 2050;
constexpr uint32_t kProgramAreaEnd = 7050;  // one past the last program register
constexpr uint32_t kAutoStartRegister = 8188;
constexpr uint32_t kStatusLocationBase = 8188;  // + channel
constexpr uint32_t kWordsInFirstChannel = kProgramAreaEnd - kFirstChannelStart;
constexpr int kHighestChannel = 4;
constexpr uint16_t kRunningBit = 0x8000;
constexpr int kHaltReads = 20;

struct BlockRules {
  uint32_t block_words;
  uint32_t limit;  // at or below it a whole block is asked for
};

constexpr BlockRules RulesFor(SequenceStyle style) {
  return style == SequenceStyle::Downloader ? BlockRules{100, 6950} : BlockRules{64, 6922};
}

// How many words to ask for when the next register to write is `next`.
constexpr uint32_t BlockWords(const BlockRules& rules, uint32_t next) {
  return next <= rules.limit ? rules.block_words : kProgramAreaEnd - next;
}

// A channel is full once `next` has passed register 7048.
constexpr bool ChannelFull(uint32_t next) { return next - kLoadChannelSelectRegister >= 5000; }

// The channel a full channel moves on to, from the first channel and the
// words sent so far.
constexpr int NextChannel(int first_channel, uint32_t total_words) {
  return first_channel + static_cast<int>(total_words / kWordsInFirstChannel);
}

}  // namespace download
