// kxtload as a process against kxtsim: which file a program file name opens
// (as typed, then with ".KXB", then with ".kxb"), and names that must be
// refused before anything is written to the module: files that cannot be
// read and names too long to hold.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "link/link.h"
#include "tests/support/run_process.h"
#include "tests/support/sim_process.h"

namespace {

const std::string kBanner = "Veltrane KXT Downloader 23Dec98\n";
const std::string kKxtload = std::string(KXT_BIN_DIR) + "/kxtload";
const std::string kCantOpen = "Can't open input file.\n";
const std::string kTooLong = "File name too long: at most 4095 characters.\n";

// The channel-select register and the first register of channel 2's program
// area hold marks that the erase of channel 1 would overwrite.
constexpr uint16_t kSelectedMark = 2;
constexpr uint16_t kProgramMark = 0x1234;

class KxtloadProgramFileNameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/kxtload_fn_XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    directory_ = name;
    sim_ = testsupport::SimProcess::Start({"--tcp", "0"});
    ASSERT_NE(sim_, nullptr) << "kxtsim did not start";
    link_ = linklib::OpenModbusTCP("127.0.0.1", static_cast<uint16_t>(sim_->tcp_port()), 0);
    ASSERT_NE(link_, nullptr);
  }
  void TearDown() override {
    if (link_) linklib::CloseLink(link_);
    sim_.reset();
    // Deepest first: files, then the directories that held them.
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) remove(it->c_str());
    rmdir(directory_.c_str());
  }

  // A program file of `words` words at `path` (relative to the directory).
  void WriteProgram(const std::string& path, size_t words) {
    std::string full = directory_ + "/" + path;
    FILE* file = std::fopen(full.c_str(), "wb");
    ASSERT_NE(file, nullptr) << full;
    for (size_t i = 0; i < words; ++i) std::fputs("\x01\x02", file);
    std::fclose(file);
    created_.push_back(full);
  }
  void MakeDirectory(const std::string& path) {
    std::string full = directory_ + "/" + path;
    ASSERT_EQ(mkdir(full.c_str(), 0700), 0) << full;
    created_.push_back(full);
  }

  std::string Address() const { return "127.0.0.1:" + std::to_string(sim_->tcp_port()); }

  void Write(uint32_t reg, uint16_t word) {
    ASSERT_NE(linklib::WriteRegisters(link_, reg, 1, &word), 0) << linklib::LinkMessage(link_);
  }
  uint16_t Read(uint32_t reg) {
    uint16_t word = 0xDEAD;
    EXPECT_NE(linklib::ReadRegisters(link_, reg, 1, &word), 0) << linklib::LinkMessage(link_);
    return word;
  }
  void MarkModule() {
    Write(2049, kSelectedMark);
    Write(2050, kProgramMark);
  }
  void ExpectModuleUntouched() {
    EXPECT_EQ(Read(2049), kSelectedMark);
    EXPECT_EQ(Read(2050), kProgramMark);
  }

  // kxtload in the test's directory, loading channel 1 from `file`; with no
  // file it asks for one, and `input` answers.
  testsupport::ProcessResult Kxtload(const std::string& file, const std::string& input = "") {
    std::vector<std::string> args{"1"};
    if (!file.empty()) args.insert(args.end(), {file, Address()});
    // Run through the shell so that relative names resolve in the directory.
    std::string command = "cd '" + directory_ + "' && exec \"$0\" \"$@\"";
    args.insert(args.begin(), {"-c", command, kKxtload});
    return testsupport::RunProcess("/bin/sh", args, input);
  }

  std::string directory_;
  std::vector<std::string> created_;
  std::unique_ptr<testsupport::SimProcess> sim_;
  linklib::LinkHandle* link_ = nullptr;
};

std::string Transmitted(size_t words) {
  return "\n" + std::to_string(words) + " words transmitted.\n";
}

// Each case writes a different number of words, so the count transmitted
// tells which file was opened.
TEST_F(KxtloadProgramFileNameTest, NameAsTypedThenWithUpperThenLowerExtension) {
  struct Case {
    std::map<std::string, size_t> files;  // name -> words
    std::string typed;
    size_t opens;  // words of the file that must open; 0: none opens
  } cases[] = {
      {{{"prog.KXB", 2}}, "prog", 2},
      {{{"prog.kxb", 3}}, "prog", 3},
      {{{"prog.KXB", 2}, {"prog.kxb", 3}}, "prog", 2},
      {{{"prog.KXB", 2}}, "prog.KXB", 2},
      {{{"prog", 1}, {"prog.KXB", 2}}, "prog", 1},
      {{{"prog.KXB", 2}}, "PROG", 0},  // file names are case-sensitive
      {{{"other.KXB", 2}}, "prog", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed + " with " + c.files.begin()->first);
    for (const auto& [name, words] : c.files) WriteProgram(name, words);
    testsupport::ProcessResult result = Kxtload(c.typed);
    ASSERT_TRUE(result.finished);
    if (c.opens) {
      EXPECT_NE(result.output.find(Transmitted(c.opens)), std::string::npos) << result.output;
      EXPECT_EQ(result.exit_status, 0);
    } else {
      EXPECT_EQ(result.output, kBanner + kCantOpen);
      EXPECT_EQ(result.exit_status, 1);
    }
    for (const auto& entry : c.files) {
      remove((directory_ + "/" + entry.first).c_str());
      created_.pop_back();
    }
  }
}

// A name that opens but cannot be read is refused like one that does not
// open, before the erase: a directory (found as typed or with an extension
// added), or a file whose first read fails.
TEST_F(KxtloadProgramFileNameTest, UnreadableFileIsRefusedBeforeAnythingIsWritten) {
  MakeDirectory("somedir.KXB");
  MakeDirectory("bare");
  for (const std::string typed : {"somedir.KXB", "somedir", "bare", "/proc/self/mem"}) {
    SCOPED_TRACE(typed);
    MarkModule();
    testsupport::ProcessResult result = Kxtload(typed);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.output, kBanner + kCantOpen);
    EXPECT_EQ(result.exit_status, 1);
    ExpectModuleUntouched();
  }
}

// A name is never cut into another: a path longer than 255 characters loads
// the file it names, not the one its first 255 characters name, and a name
// longer than a Linux path can be is refused, typed or answered.
TEST_F(KxtloadProgramFileNameTest, LongNamesAreNeverCutIntoAnotherName) {
  const std::string folder(200, 'd');
  const std::string file(150, 'f');
  MakeDirectory(folder);
  WriteProgram(folder + "/" + file, 5);
  const std::string path = directory_ + "/" + folder + "/" + file;
  ASSERT_GT(path.size(), 300u);
  // The name that the first 255 characters give, holding another program.
  WriteProgram(path.substr(directory_.size() + 1, 255 - directory_.size() - 1), 7);
  testsupport::ProcessResult result = Kxtload(path);
  ASSERT_TRUE(result.finished);
  EXPECT_NE(result.output.find(Transmitted(5)), std::string::npos) << result.output;
  EXPECT_EQ(result.exit_status, 0);

  const std::string too_long = "./" + std::string(4094, 'x');  // 4096 characters
  MarkModule();
  result = Kxtload(too_long);
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.output, kBanner + kTooLong);
  EXPECT_EQ(result.exit_status, 1);
  result = Kxtload("", too_long + "\n");
  ASSERT_TRUE(result.finished);
  EXPECT_EQ(result.output, kBanner + "File? " + kTooLong);
  EXPECT_EQ(result.exit_status, 1);
  ExpectModuleUntouched();
}

}  // namespace
