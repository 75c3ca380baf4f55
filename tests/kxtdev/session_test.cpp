// kxtdev's session on the in-memory console, in a scratch directory: the
// recovery question, the work files' life, the menu's Escape and Quit.
#include "kxtdev/session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "console/memory_console.h"
#include "console/screen.h"

namespace kxtdev {
namespace {

namespace fs = std::filesystem;

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory = fs::temp_directory_path() / ("kxtdev-session-" + std::to_string(getpid()));
    fs::create_directories(directory);
    previous = fs::current_path();
    fs::current_path(directory);
    // A setup without a link that reports on row 25: nothing waits for a key.
    SetupRecord setup = StandardDefaultSetup();
    setup.connection_type = kConnectionNone;
    setup.trap_errors = kChoiceNo;
    std::FILE* file = std::fopen(kStartupSetupFile, "wb");
    ASSERT_TRUE(file);
    std::fwrite(&setup, sizeof setup, 1, file);
    std::fclose(file);
  }
  void TearDown() override {
    fs::current_path(previous);
    fs::remove_all(directory);
  }

  static void Touch(const char* name) {
    std::FILE* file = std::fopen(name, "wb");
    ASSERT_TRUE(file);
    std::fputs("PROGRAM\n", file);
    std::fclose(file);
  }

  int Run(std::vector<std::string> arguments = {}) {
    arguments.insert(arguments.begin(), "kxtdev");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    return RunSession(session, static_cast<int>(argv.size()), argv.data(), &terminal);
  }

  bool Written(const std::string& text) const {
    for (const auto& write : terminal.Writes())
      if (write.characters.find(text) != std::string::npos) return true;
    return false;
  }

  fs::path directory;
  fs::path previous;
  console::MemoryConsole terminal;
  Session session;
};

TEST_F(SessionTest, QuitDeletesTheWorkFilesAndEndsWithStatusZero) {
  Touch(kWorkListingFile);
  terminal.Type("q");
  EXPECT_EQ(Run(), 0);
  EXPECT_FALSE(fs::exists(kWorkListingFile));
  EXPECT_TRUE(Written("KXT DEVELOPMENT AND UTILITY SOFTWARE"));
  EXPECT_TRUE(Written("Unable to establish link."));
  EXPECT_FALSE(terminal.IsOpen());
}

TEST_F(SessionTest, DecliningRecoveryDeletesTheOldWorkFile) {
  Touch(kWorkSourceFile);
  terminal.Type("nq");
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(Written("Old work file found. Recover session?"));
  EXPECT_FALSE(Written("File edited, save it?"));
  EXPECT_FALSE(fs::exists(kWorkSourceFile));
}

TEST_F(SessionTest, RecoveryWithoutANameStillAsksToSaveAtQuit) {
  Touch(kWorkSourceFile);
  terminal.Type("y\rqn");  // recover, empty name, Quit, do not save
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(Written("File name"));
  EXPECT_TRUE(Written("File edited, save it?"));
  EXPECT_FALSE(fs::exists(kWorkSourceFile));
}

TEST_F(SessionTest, EscapeOnTheBarBeepsAndOnlyQuitEnds) {
  terminal.TypeKeys({console::kKeyEscape});
  terminal.Type("q");
  EXPECT_EQ(Run(), 0);
  EXPECT_GE(terminal.Bells(), 1);
}

TEST_F(SessionTest, ArgumentsAreTypedIntoTheMenu) {
  // "Q" then ENTER from the arguments: Quit is chosen with no key from the keyboard.
  EXPECT_EQ(Run({"q"}), 0);
  EXPECT_TRUE(terminal.ScriptDone());
}

}  // namespace
}  // namespace kxtdev
