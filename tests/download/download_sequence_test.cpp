// The download sequence in kxtdev's style, run in-process over Modbus TCP
// against kxtsim, with a front end that records what it is told and answers
// its questions from a script. (kxtload's style is tested through the
// kxtload program itself.)
#include "download/download_sequence.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "link/link.h"
#include "tests/support/sim_process.h"

namespace download {
namespace {

using testsupport::SimProcess;

constexpr uint32_t kChannelWords = 5000;

struct Event {
  std::string kind;  // progress place name, "error", "box", "warning" or "question"
  std::string text;
  bool operator==(const Event &other) const = default;
};

std::ostream &operator<<(std::ostream &out, const Event &event) {
  return out << event.kind << ": \"" << event.text << "\"";
}

const char *PlaceName(ProgressPlace place) {
  switch (place) {
    case ProgressPlace::StatusRegister:
      return "status";
    case ProgressPlace::LineNumberRegister:
      return "line";
    case ProgressPlace::Sending:
      return "sending";
    case ProgressPlace::Continuing:
      return "continuing";
    case ProgressPlace::WordsTransmitted:
      return "total";
    case ProgressPlace::Starting:
      return "starting";
  }
  return "?";
}

class RecordingFrontEnd : public FrontEnd {
 public:
  explicit RecordingFrontEnd(std::deque<bool> answers = {}) : answers_(std::move(answers)) {}
  void ShowProgress(ProgressPlace place, const char *text) override {
    // Block progress is checked by count, the rest by text.
    if (place == ProgressPlace::Sending) {
      sending.push_back(text);
      return;
    }
    events.push_back({PlaceName(place), text});
  }
  void ReportError(const char *text) override { events.push_back({"error", text}); }
  void ShowErrorBox(const char *text) override { events.push_back({"box", text}); }
  void ShowWarning(const char *text) override { events.push_back({"warning", text}); }
  bool AskQuestion(const char *text) override {
    events.push_back({"question", text});
    EXPECT_FALSE(answers_.empty()) << "unexpected question";
    if (answers_.empty()) return false;
    bool answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  std::vector<Event> events;
  std::vector<std::string> sending;

 private:
  std::deque<bool> answers_;
};

class KxtdevDownloadTest : public ::testing::Test {
 protected:
  void StartModule(std::vector<std::string> faults = {}) {
    std::vector<std::string> args{"--tcp", "0"};
    args.insert(args.end(), faults.begin(), faults.end());
    sim_ = SimProcess::Start(args);
    ASSERT_NE(sim_, nullptr);
    link_ = linklib::OpenModbusTCP("127.0.0.1", static_cast<uint16_t>(sim_->tcp_port()), 0);
    ASSERT_NE(link_, nullptr);
  }
  void TearDown() override {
    if (link_) linklib::CloseLink(link_);
    if (!path_.empty()) unlink(path_.c_str());
  }

  // Opens `program` on a file of `words` (each never 0, so that a lost word
  // shows).
  std::vector<uint16_t> MakeProgram(size_t count, uint16_t seed, ProgramFile &program) {
    std::vector<uint16_t> words(count);
    for (size_t i = 0; i < count; ++i) words[i] = static_cast<uint16_t>((seed + i * 31) | 1);
    if (path_.empty()) {
      char name[] = "/tmp/kxtdev_dl_XXXXXX";
      int fd = mkstemp(name);
      EXPECT_GE(fd, 0);
      close(fd);
      path_ = name;
    }
    FILE *file = std::fopen(path_.c_str(), "wb");
    for (uint16_t word : words) {
      std::fputc(word & 0xFF, file);
      std::fputc(word >> 8, file);
    }
    std::fclose(file);
    EXPECT_TRUE(program.Open(path_.c_str()));
    return words;
  }

  DownloadResult Download(int channel, bool auto_start, ProgramFile &program,
                          RecordingFrontEnd &front_end) {
    DownloadParameters parameters;
    parameters.link = link_;
    parameters.channel = channel;
    parameters.status_register = static_cast<uint16_t>(2 * channel);
    parameters.auto_start = auto_start;
    parameters.channel_count = 1;  // kxtdev asks instead
    return RunDownload(parameters, SequenceStyle::Environment, program, front_end);
  }

  uint16_t Read(uint32_t reg) {
    uint16_t word = 0xDEAD;
    EXPECT_NE(linklib::ReadRegisters(link_, reg, 1, &word), 0);
    return word;
  }
  std::vector<uint16_t> ProgramArea(int channel) {
    uint16_t select = static_cast<uint16_t>(channel);
    EXPECT_NE(linklib::WriteRegisters(link_, 2049, 1, &select), 0);
    std::vector<uint16_t> area(kChannelWords);
    for (uint32_t done = 0; done < kChannelWords; done += 125)
      EXPECT_NE(linklib::ReadRegisters(link_, 2050 + done, 125, area.data() + done), 0);
    return area;
  }
  // `words` from `offset` on fill the area from `start`, zeros after them.
  static std::vector<uint16_t> Area(const std::vector<uint16_t> &words, size_t offset, size_t start,
                                    uint16_t first = 0) {
    std::vector<uint16_t> area(kChannelWords, 0);
    area[0] = first;
    for (size_t i = start; i < kChannelWords && offset < words.size(); ++i)
      area[i] = words[offset++];
    return area;
  }

  std::unique_ptr<SimProcess> sim_;
  linklib::LinkHandle *link_ = nullptr;
  std::string path_;
};

TEST_F(KxtdevDownloadTest, ShortProgramWithAutoStart) {
  ASSERT_NO_FATAL_FAILURE(StartModule());
  ProgramFile program;
  std::vector<uint16_t> words = MakeProgram(100, 7, program);
  RecordingFrontEnd front_end;
  EXPECT_EQ(Download(2, true, program, front_end), DownloadResult::Completed);
  EXPECT_FALSE(program.IsOpen()) << "kxtdev's style closes the file";
  EXPECT_EQ(front_end.sending,
            (std::vector<std::string>{"Sending 2051..2114", "Sending 2115..2150"}));
  EXPECT_EQ(front_end.events, (std::vector<Event>{{"status", "Status register is at 4"},
                                                  {"line", "Line number register is at 5"},
                                                  {"total", "100 words transmitted."},
                                                  {"starting", "Starting program on channel 2"}}));
  EXPECT_EQ(ProgramArea(2), Area(words, 0, 1, 200));
  EXPECT_EQ(Read(1) & 2, 2);
  EXPECT_EQ(Read(8188) & 2, 2);
}

// At each full channel kxtdev asks; a "yes" clears the next channel and goes
// on.
TEST_F(KxtdevDownloadTest, FullChannelsContinueOnYes) {
  ASSERT_NO_FATAL_FAILURE(StartModule());
  {
    ProgramFile old_program;
    MakeProgram(4000, 3, old_program);
    RecordingFrontEnd front_end;
    ASSERT_EQ(Download(3, false, old_program, front_end), DownloadResult::Completed);
  }
  ProgramFile program;
  std::vector<uint16_t> words = MakeProgram(10500, 11, program);
  RecordingFrontEnd front_end({true, true});
  ASSERT_EQ(Download(1, false, program, front_end), DownloadResult::Completed);
  EXPECT_EQ(front_end.events,
            (std::vector<Event>{{"status", "Status register is at 2"},
                                {"line", "Line number register is at 3"},
                                {"question", "Program full. Continue in channel 2?"},
                                {"continuing", "Continuing on channel 2"},
                                {"question", "Program full. Continue in channel 3?"},
                                {"continuing", "Continuing on channel 3"},
                                {"total", "10500 words transmitted."}}));
  // Blocks of 64: 77 and a 71 in the first channel, 77 and a 72 in the second,
  // then 501 words in 7 blocks of 64 and one of 53.
  ASSERT_EQ(front_end.sending.size(), 78u + 78u + 8u);
  EXPECT_EQ(front_end.sending[77], "Sending 6979..7049");
  EXPECT_EQ(front_end.sending[78 + 77], "Sending 6978..7049");
  EXPECT_EQ(front_end.sending.back(), "Sending 2498..2550");
  EXPECT_EQ(Read(2049), 1) << "the first channel is selected again";
  EXPECT_EQ(ProgramArea(1), Area(words, 0, 1, static_cast<uint16_t>(21000)));
  EXPECT_EQ(ProgramArea(2), Area(words, 4999, 0));
  // Channel 3 held a longer program: the continuation cleared it first.
  EXPECT_EQ(ProgramArea(3), Area(words, 9999, 0));
}

TEST_F(KxtdevDownloadTest, LoadEndsWhenNoFurtherChannelMayBeUsed) {
  struct Case {
    const char *name;
    int channel;
    std::deque<bool> answers;
    std::vector<Event> events;
  } cases[] = {
      {"answered no",
       2,
       {false},
       {{"status", "Status register is at 4"},
        {"line", "Line number register is at 5"},
        {"question", "Program full. Continue in channel 3?"},
        {"box", "Program code too long.  Load aborted."}}},
      {"no channel after 4",
       4,
       {},
       {{"status", "Status register is at 8"},
        {"line", "Line number register is at 9"},
        {"box", "Program code too long.  Load aborted."}}},
  };
  for (Case &c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(StartModule());
    ProgramFile program;
    std::vector<uint16_t> words = MakeProgram(5200, 5, program);
    RecordingFrontEnd front_end(c.answers);
    EXPECT_EQ(Download(c.channel, true, program, front_end), DownloadResult::Stopped);
    EXPECT_FALSE(program.IsOpen());
    EXPECT_EQ(front_end.events, c.events);
    // The length stays as the erase left it; nothing was started.
    std::vector<uint16_t> first_channel(words.begin(), words.begin() + 4999);
    EXPECT_EQ(ProgramArea(c.channel), Area(first_channel, 0, 1, 0));
    EXPECT_EQ(Read(1), 0);
    linklib::CloseLink(link_);
    link_ = nullptr;
    sim_.reset();
  }
}

TEST_F(KxtdevDownloadTest, FailuresAndWarningsReachTheFrontEnd) {
  struct Case {
    const char *name;
    std::vector<std::string> faults;
    DownloadResult result;
    Event last;
  } cases[] = {
      {"channel never halts",
       {"--never-halt", "1"},
       DownloadResult::Stopped,
       {"error", "Can't halt channel 1. "}},
      // Requests: erase, location write and read-back, halt read, first block.
      {"first block refused",
       {"--exception", "2/5"},
       DownloadResult::Stopped,
       {"error", "ILLEGAL DATA ADDRESS"}},
      {"no Auto Start",
       {"--no-auto-start"},
       DownloadResult::Completed,
       {"warning", "WARNING: Module not equipped for Auto Start."}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(StartModule(c.faults));
    ProgramFile program;
    MakeProgram(100, 1, program);
    RecordingFrontEnd front_end;
    EXPECT_EQ(Download(1, true, program, front_end), c.result);
    EXPECT_FALSE(program.IsOpen());
    ASSERT_FALSE(front_end.events.empty());
    EXPECT_EQ(front_end.events.back(), c.last);
    linklib::CloseLink(link_);
    link_ = nullptr;
    sim_.reset();
  }
}

}  // namespace
}  // namespace download
