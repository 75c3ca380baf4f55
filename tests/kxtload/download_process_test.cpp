// kxtload as a process against kxtsim over loopback Modbus TCP: the module
// is read back afterwards and must hold what the file and the switches say.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "link/link.h"
#include "tests/support/run_process.h"
#include "tests/support/sim_process.h"

namespace {

using testsupport::ProcessResult;
using testsupport::SimProcess;

const std::string kBanner = "Veltrane KXT Downloader 23Dec98\n";
const std::string kKxtload = std::string(KXT_BIN_DIR) + "/kxtload";
constexpr uint32_t kFirstChannelWords = 4999;
constexpr uint32_t kChannelWords = 5000;

std::vector<uint16_t> ProgramWords(size_t count, uint16_t seed) {
  std::vector<uint16_t> words(count);
  uint16_t value = seed;
  for (uint16_t &word : words) {
    value = static_cast<uint16_t>(value * 25173u + 13849u);
    word = value | 1;  // never 0: a lost word shows
  }
  return words;
}

// Reads the module back over a link of its own.
class ModuleReader {
 public:
  explicit ModuleReader(int port) {
    link_ = linklib::OpenModbusTCP("127.0.0.1", static_cast<uint16_t>(port), 0);
  }
  ~ModuleReader() {
    if (link_) linklib::CloseLink(link_);
  }
  bool ok() const { return link_ != nullptr; }

  uint16_t Read(uint32_t reg) {
    uint16_t word = 0xDEAD;
    EXPECT_NE(linklib::ReadRegisters(link_, reg, 1, &word), 0) << linklib::LinkMessage(link_);
    return word;
  }
  void Write(uint32_t reg, uint16_t word) {
    EXPECT_NE(linklib::WriteRegisters(link_, reg, 1, &word), 0) << linklib::LinkMessage(link_);
  }
  // Registers 2050..7049 of `channel`: its length register (or, in a
  // continuation channel, its first word) and its program.
  std::vector<uint16_t> ProgramArea(int channel) {
    Write(2049, static_cast<uint16_t>(channel));
    std::vector<uint16_t> area(kChannelWords);
    for (uint32_t done = 0; done < kChannelWords;) {
      uint32_t count = std::min<uint32_t>(125, kChannelWords - done);
      EXPECT_NE(linklib::ReadRegisters(link_, 2050 + done, count, area.data() + done), 0)
          << linklib::LinkMessage(link_);
      done += count;
    }
    return area;
  }

 private:
  linklib::LinkHandle *link_ = nullptr;
};

class KxtloadDownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/kxtload_dl_XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    directory_ = name;
  }
  void TearDown() override {
    for (const std::string &file : files_) unlink(file.c_str());
    rmdir(directory_.c_str());
  }

  void StartModule(std::vector<std::string> faults = {}) {
    std::vector<std::string> args{"--tcp", "0"};
    args.insert(args.end(), faults.begin(), faults.end());
    sim_ = SimProcess::Start(args);
    ASSERT_NE(sim_, nullptr) << "kxtsim did not start";
    reader_ = std::make_unique<ModuleReader>(sim_->tcp_port());
    ASSERT_TRUE(reader_->ok());
  }

  std::string WriteProgram(const std::vector<uint16_t> &words, bool odd_byte = false) {
    std::string path = directory_ + "/p" + std::to_string(files_.size()) + ".KXB";
    FILE *file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr);
    for (uint16_t word : words) {
      std::fputc(word & 0xFF, file);
      std::fputc(word >> 8, file);
    }
    if (odd_byte) std::fputc(0x5A, file);
    std::fclose(file);
    files_.push_back(path);
    return path;
  }

  std::string Address() const { return "127.0.0.1:" + std::to_string(sim_->tcp_port()); }

  ProcessResult Kxtload(std::vector<std::string> args, const std::string &input = "") {
    return testsupport::RunProcess(kKxtload, args, input);
  }

  // The channels from `first` on hold the program as a download lays it out:
  // the length and 4999 words in the first channel, 5000 words in each
  // further one, and zeros after the end (the erase cleared the rest).
  void ExpectProgramInModule(const std::vector<uint16_t> &words, int first, uint16_t length) {
    size_t sent = 0;
    for (int channel = first; channel <= 4; ++channel) {
      std::vector<uint16_t> expected;
      if (channel == first) {
        expected.push_back(length);
      } else if (sent >= words.size()) {
        break;
      }
      while (expected.size() < kChannelWords && sent < words.size())
        expected.push_back(words[sent++]);
      expected.resize(kChannelWords, 0);
      std::vector<uint16_t> area = reader_->ProgramArea(channel);
      for (size_t i = 0; i < kChannelWords; ++i)
        ASSERT_EQ(area[i], expected[i]) << "channel " << channel << " register " << 2050 + i;
    }
  }

  std::string directory_;
  std::vector<std::string> files_;
  std::unique_ptr<SimProcess> sim_;
  std::unique_ptr<ModuleReader> reader_;
};

std::string Sending(uint32_t first, uint32_t words) {
  char text[40];
  if (words == 1)
    std::snprintf(text, sizeof text, "\rSending %4u       ", first);
  else
    std::snprintf(text, sizeof text, "\rSending %4u..%4u ", first, first + words - 1);
  return text;
}

// The progress lines of a whole transfer of `total` words from `first`.
std::string SendingLines(uint32_t total, int channel_moves_to = 0) {
  std::string text;
  uint32_t next = 2051;
  for (uint32_t sent = 0; sent < total;) {
    uint32_t block = next <= 6950 ? 100 : 7050 - next;
    if (block > total - sent) block = total - sent;
    text += Sending(next, block);
    next += block;
    sent += block;
    if (next >= 7049 && channel_moves_to) {
      text += "\nContinuing on channel " + std::to_string(channel_moves_to++) + "\n";
      next = 2050;
    }
  }
  return text;
}

struct DownloadCase {
  const char *name;
  uint32_t words;
  int channel;
  std::vector<std::string> switches;
  std::string output;  // after the banner
  int status;
  uint16_t length;  // the length register of the first channel afterwards
  bool auto_start;  // Auto Start bit and run bit of the channel afterwards
};

TEST_F(KxtloadDownloadTest, ProgramLengthAutoStartAndRunBitsMatchFileAndSwitches) {
  const std::string located_2 = "Status register is at: 2, line number register is at 3\n";
  const std::string located_4 = "Status register is at: 4, line number register is at 5\n";
  const std::string too_long = "\nProgram code too long.  Load aborted.  Use -C switch.\n";
  const DownloadCase cases[] = {
      {"empty", 0, 1, {}, located_2 + "\n0 words transmitted.\n", 0, 0, false},
      {"one word with Auto Start",
       1,
       2,
       {"-A"},
       located_4 + Sending(2051, 1) + "\n1 words transmitted.\nStarting program on channel 2\n",
       0,
       2,
       true},
      {"100 words, status register moved",
       100,
       3,
       {"-A", "-S100"},
       "Status register is at: 100, line number register is at 101\n" + Sending(2051, 100) +
           "\n100 words transmitted.\nStarting program on channel 3\n",
       0,
       200,
       true},
      {"4997 words fill one channel",
       4997,
       1,
       {},
       located_2 + SendingLines(4997) + "\n4997 words transmitted.\n",
       0,
       9994,
       false},
      // 4998 words reach register 7049: the channel counts as full.
      {"4998 words without -C",
       4998,
       1,
       {},
       located_2 + SendingLines(4998) + too_long,
       1,
       0,
       false},
      {"4998 words with -C2",
       4998,
       1,
       {"-C2", "-a"},
       located_2 + SendingLines(4998) +
           "\nContinuing on channel 1\n\n4998 words transmitted.\nStarting "
           "program on channel 1\n",
       0,
       9996,
       true},
      {"10000 words over three channels",
       10000,
       1,
       {"-C3", "-A"},
       located_2 + SendingLines(10000, 2) +
           "\n10000 words transmitted.\nStarting program on channel 1\n",
       0,
       20000,
       true},
      {"4999 words from channel 4",
       4999,
       4,
       {"-C2"},
       "Status register is at: 8, line number register is at 9\n" + SendingLines(4999) + too_long,
       1,
       0,
       false},
  };
  for (const DownloadCase &c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(StartModule());
    std::vector<uint16_t> words = ProgramWords(c.words, static_cast<uint16_t>(c.words));
    std::vector<std::string> args{std::to_string(c.channel), WriteProgram(words), Address()};
    args.insert(args.end(), c.switches.begin(), c.switches.end());
    ProcessResult result = Kxtload(args);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.output, kBanner + c.output);
    EXPECT_EQ(result.exit_status, c.status);

    std::vector<uint16_t> expected = words;
    if (c.status != 0) expected.resize(std::min<size_t>(words.size(), kFirstChannelWords));
    ExpectProgramInModule(expected, c.channel, c.length);
    const uint16_t bit = static_cast<uint16_t>(1u << (c.channel - 1));
    EXPECT_EQ(reader_->Read(8188) & bit, c.auto_start ? bit : 0) << "Auto Start bit";
    EXPECT_EQ(reader_->Read(1) & bit, c.auto_start ? bit : 0) << "run bit";
    sim_.reset();
  }
}

}  // namespace

namespace {

const std::string kLocated1 = "Status register is at: 2, line number register is at 3\n";

TEST_F(KxtloadDownloadTest, ModuleShortcomingsGiveWarningsAndTheDownloadGoesOn) {
  struct Case {
    const char *name;
    std::vector<std::string> faults;
    int channel;
    std::vector<std::string> switches;
    std::string output;
    bool runs;
  } cases[] = {
      // A module whose status registers stay put reads back the default
      // location: the download moves there without a warning.
      {"status register stays put",
       {"--no-flexible-status"},
       1,
       {"-S100"},
       kLocated1 + Sending(2051, 10) + "\n10 words transmitted.\n",
       false},
      // Asking for the default location gives no warning.
      {"default location asked for",
       {"--no-flexible-status"},
       3,
       {"-S6", "-A"},
       "Status register is at: 6, line number register is at 7\n" + Sending(2051, 10) +
           "\n10 words transmitted.\nStarting program on channel 3\n",
       true},
      {"no Auto Start",
       {"--no-auto-start"},
       1,
       {"-A"},
       kLocated1 + Sending(2051, 10) +
           "\n10 words transmitted.\nWARNING: Module not equipped for Auto "
           "Start.\n",
       false},
      {"slow replies",
       {"--delay", "20"},
       1,
       {"-A"},
       kLocated1 + Sending(2051, 10) + "\n10 words transmitted.\nStarting program on channel 1\n",
       true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(StartModule(c.faults));
    std::vector<uint16_t> words = ProgramWords(10, 77);
    std::vector<std::string> args{std::to_string(c.channel), WriteProgram(words), Address()};
    args.insert(args.end(), c.switches.begin(), c.switches.end());
    ProcessResult result = Kxtload(args);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.output, kBanner + c.output);
    EXPECT_EQ(result.exit_status, 0);
    ExpectProgramInModule(words, c.channel, 20);
    const uint16_t bit = static_cast<uint16_t>(1u << (c.channel - 1));
    EXPECT_EQ(reader_->Read(1) & bit, c.runs ? bit : 0) << "run bit";
    sim_.reset();
  }
}

TEST_F(KxtloadDownloadTest, FailuresStopWithTheLinkMessageAndStatusOne) {
  struct Case {
    const char *name;
    std::vector<std::string> faults;
    int channel;
    std::string before;  // the output up to the link's message
  } cases[] = {
      {"channel never halts", {"--never-halt", "2"}, 2, "Can't halt channel 2. "},
      // Requests: erase, status location write and read-back, halt read.
      {"halt read refused", {"--exception", "4/4"}, 1, "Can't halt channel 1. "},
      // A block that fails ends the progress line before its message.
      {"first block refused", {"--exception", "4/5"}, 1, kLocated1 + Sending(2051, 100) + "\n"},
      {"third block refused",
       {"--exception", "4/7"},
       1,
       kLocated1 + Sending(2051, 100) + Sending(2151, 100) + Sending(2251, 100) + "\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(StartModule(c.faults));
    ProcessResult result =
        Kxtload({std::to_string(c.channel), WriteProgram(ProgramWords(450, 5)), Address(), "-A"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exit_status, 1);
    ASSERT_EQ(result.output.rfind(kBanner + c.before, 0), 0u) << result.output;
    std::string message = result.output.substr(kBanner.size() + c.before.size());
    EXPECT_EQ(message.find('\n'), message.size() - 1) << "one line: " << message;
    sim_.reset();
  }
}

TEST_F(KxtloadDownloadTest, WithoutEraseOldWordsBeyondTheNewProgramStay) {
  ASSERT_NO_FATAL_FAILURE(StartModule());
  std::vector<uint16_t> old_words = ProgramWords(300, 1);
  ASSERT_EQ(Kxtload({"1", WriteProgram(old_words), Address()}).exit_status, 0);
  // The last download selected channel 2: the next one still lands in 1.
  std::vector<uint16_t> other_words = ProgramWords(50, 6);
  ASSERT_EQ(Kxtload({"2", WriteProgram(other_words), Address()}).exit_status, 0);
  std::vector<uint16_t> new_words = ProgramWords(100, 2);
  ProcessResult result = Kxtload({"1", WriteProgram(new_words), Address(), "-N"});
  EXPECT_EQ(result.exit_status, 0) << result.output;
  std::vector<uint16_t> expected = new_words;
  expected.insert(expected.end(), old_words.begin() + 100, old_words.end());
  ExpectProgramInModule(expected, 1, 200);
  ExpectProgramInModule(other_words, 2, 100);

  // A running channel halts only through the erase: without it the halt wait
  // gives up.
  ASSERT_EQ(Kxtload({"1", WriteProgram(new_words), Address(), "-A"}).exit_status, 0);
  result = Kxtload({"1", WriteProgram(new_words), Address(), "-N"});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.output.rfind(kBanner + "Can't halt channel 1. ", 0), 0u) << result.output;
}

TEST_F(KxtloadDownloadTest, ChannelCountErasesTheFollowingChannels) {
  ASSERT_NO_FATAL_FAILURE(StartModule());
  std::vector<uint16_t> words = ProgramWords(10, 3);
  for (const char *channel : {"3", "4"})
    ASSERT_EQ(Kxtload({channel, WriteProgram(ProgramWords(20, 8)), Address()}).exit_status, 0);
  ProcessResult result = Kxtload({"3", WriteProgram(words), Address(), "-C3"});
  EXPECT_EQ(result.exit_status, 0) << result.output;
  ExpectProgramInModule(words, 3, 20);
  EXPECT_EQ(reader_->ProgramArea(4), std::vector<uint16_t>(kChannelWords, 0)) << "erased";

  // "-C" alone is a count of 0: nothing is erased.
  for (const char *channel : {"3", "4"})
    ASSERT_EQ(Kxtload({channel, WriteProgram(ProgramWords(20, 8)), Address()}).exit_status, 0);
  result = Kxtload({"3", WriteProgram(words), Address(), "-C"});
  EXPECT_EQ(result.exit_status, 0) << result.output;
  EXPECT_EQ(reader_->ProgramArea(4)[0], 40) << "channel 4 kept its program";
  EXPECT_EQ(reader_->ProgramArea(3)[0], 20);
}

TEST_F(KxtloadDownloadTest, TrailingOddByteIsNeverSent) {
  ASSERT_NO_FATAL_FAILURE(StartModule());
  std::vector<uint16_t> words = ProgramWords(100, 9);
  ProcessResult result = Kxtload({"2", WriteProgram(words, true), Address()});
  EXPECT_EQ(result.exit_status, 0) << result.output;
  EXPECT_EQ(result.output, kBanner + "Status register is at: 4, line number register is at 5\n" +
                               Sending(2051, 100) + "\n100 words transmitted.\n");
  ExpectProgramInModule(words, 2, 200);
}

TEST_F(KxtloadDownloadTest, PromptsRouteAndLateStatusRegisterCheck) {
  ASSERT_NO_FATAL_FAILURE(StartModule());
  std::vector<uint16_t> words = ProgramWords(3, 4);
  const std::string program = WriteProgram(words);
  // Everything asked for; the status register answer replaces -S.
  ProcessResult result = Kxtload({"-S50", "-A"}, "3\n100\n" + program + "\n" + Address() + "\n");
  EXPECT_EQ(result.exit_status, 0) << result.output;
  EXPECT_EQ(result.output, kBanner +
                               "Channel (1..4)? Status register (2..2047)? File? Port, IP "
                               "address, or host name? "
                               "Status register is at: 100, line number register is at 101\n" +
                               Sending(2051, 3) +
                               "\n3 words transmitted.\nStarting program on channel 3\n");
  ExpectProgramInModule(words, 3, 6);
  EXPECT_EQ(reader_->Read(8191), 100);
  EXPECT_EQ(reader_->Read(100) & 0x8000, 0x8000) << "channel 3 runs";

  // One drop on a Modbus TCP route is the unit.
  result = Kxtload({"4", program, Address(), "7"});
  EXPECT_EQ(result.exit_status, 0) << result.output;

  // The location is checked only once the link is open.
  result = Kxtload({"1", program, Address(), "-S3000"});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.output, kBanner + "Invalid status register 3000. Must be 2..2047\n");
}

}  // namespace
