// Compile and View errors with a scripted compiler on the PATH: the compiler
// line it receives, the listing read against its table, the warnings as they
// are read, the summary or the download question, and the state left.
#include <gtest/gtest.h>

#include <cstdlib>

#include "kxtdev/compile.h"
#include "tests/kxtdev/source_fixture.h"

namespace kxtdev {
namespace {

class CompileListingTest : public SourceFixture {
 protected:
  void SetUp() override {
    SourceFixture::SetUp();
    if (const char* path = std::getenv("PATH")) saved_path = path;
    setenv("PATH", (directory + ":/usr/bin:/bin").c_str(), 1);
    // The compiler prints the listing it is given, writes the object when
    // asked to, and records its arguments one a line.
    Script("COMPILE",
           "printf '%s\\n' \"$@\" > ARGS\n"
           "cat LISTING\n"
           "[ -e MAKE_OBJECT ] && printf 'ab' > \"${2#-o}\"\n"
           "exit 0\n");
    WriteFile(kWorkSourceFile, "LOAD 1\n");
    std::snprintf(session.work_name, sizeof session.work_name, "PUMP");
  }
  void TearDown() override {
    setenv("PATH", saved_path.c_str(), 1);
    SourceFixture::TearDown();
  }

  std::string saved_path;
};

TEST_F(CompileListingTest, TheCompilerGetsTheWorkFileAndTheObjectNameUnexpanded) {
  WriteFile("LISTING", "Veltrane KXT Compiler 2.31a  (c)\nSuccessful compile.\n");
  WriteFile("MAKE_OBJECT", "");
  WriteFile("PUMP.KXB", "stale");
  Keys("n");  // Successful compile. Download now?
  CompileWork(session);
  EXPECT_EQ(ReadFile("ARGS"), "KXT$WORK.KXT\n-oPUMP.KXB\n");
  EXPECT_EQ(ReadFile("PUMP.KXB"), "ab");
  EXPECT_TRUE(Written("COMPILE"));
  EXPECT_TRUE(Written("Compiler version: 2.31a  "));
  EXPECT_TRUE(Written("Successful compile. Download now?"));
  EXPECT_TRUE(session.compiled);  // "no" keeps it for a later download
  EXPECT_EQ(session.unresolved_errors, 0);
  EXPECT_TRUE(terminal.ScriptDone());
}

TEST_F(CompileListingTest, ListingsAgainstTheTable) {
  struct Case {
    const char* what;
    std::string listing;
    bool object;
    std::vector<std::string> keys_and_texts;  // in order: F10 for each error shown, or an answer
    bool compiled;
    int errors;
  };
  const std::string banner = "Veltrane KXT Compiler V1.0\n";
  const Case cases[] = {
      {"two warnings",
       banner + "a.kxt:3: warning unused label\nb:4: warning odd jump\nSuccessful compile.\n",
       true,
       {"F10", "unused label", "F10", "odd jump", "n", "Compiled with warnings. Download now?"},
       true,
       0},
      {"error and warning on one line",
       banner + "x: error bad: warning worse\nNo object generated.\n",
       false,
       {"F10", "No object generated", "F10", "1 errors and 0 warnings found."},
       true,
       1},
      {"errors counted, no object",
       banner + "x:1: error one\nx:2: error two\nx:3: warning w\nNo object generated.\n",
       false,
       {"F10", "w", "F10", "No object generated", "F10", "2 errors and 1 warnings found."},
       true,
       2},
      {"no banner",
       "Successful compile.\n",
       true,
       {"F10", "Unable to spawn KXT compiler."},
       false,
       0},
      {"banner without a compiled file",
       banner + "Successful compile.\n",
       false,
       {"F10", "No object generated", "F10", "1 errors and 0 warnings found."},
       true,
       1},
      {"short banner",
       "Veltrane KXT Compiler 1.2\nSuccessful compile.\n",
       true,
       {"n", "1.2"},
       true,
       0},
      {"a banner that is only the name",
       "Veltrane KXT Compiler\nSuccessful compile.\n",
       true,
       {"n", "Compiler version:"},
       true,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    console::CloseScreen();
    terminal = console::MemoryConsole();
    ASSERT_TRUE(console::InitScreenOn(terminal));
    WriteFile("LISTING", c.listing);
    if (c.object)
      WriteFile("MAKE_OBJECT", "");
    else
      std::remove("MAKE_OBJECT");
    session.compiled = !c.compiled;
    session.unresolved_errors = 7;
    std::vector<std::string> texts;
    for (size_t i = 0; i < c.keys_and_texts.size(); i += 2) {
      if (c.keys_and_texts[i] == "F10")
        ClearError();
      else
        Keys(c.keys_and_texts[i]);
      texts.push_back(c.keys_and_texts[i + 1]);
    }
    CompileWork(session);
    EXPECT_TRUE(terminal.ScriptDone());
    for (const std::string& text : texts) EXPECT_TRUE(Written(text)) << text;
    EXPECT_EQ(session.compiled, c.compiled);
    EXPECT_EQ(session.unresolved_errors, c.errors);
  }
}

TEST_F(CompileListingTest, WithoutACompilerOrAWorkNameNothingCompiles) {
  setenv("PATH", "/nonexistent", 1);
  WriteFile("PUMP.KXB", "stale");
  session.compiled = true;
  ClearError();
  CompileWork(session);
  EXPECT_TRUE(Written("Unable to spawn KXT compiler."));
  EXPECT_FALSE(session.compiled);
  EXPECT_FALSE(Exists("PUMP.KXB"));  // the old program never outlives a compile

  session.work_name[0] = '\0';
  session.compiled = true;
  ClearError();
  CompileWork(session);
  EXPECT_TRUE(Written("No source code. Use READ or EDIT."));
  EXPECT_FALSE(session.compiled);
  EXPECT_FALSE(Exists(kWorkListingFile));
}

TEST_F(CompileListingTest, ViewErrorsOpensTheListingInTheEditor) {
  SetEditor(Script("view.sh", "cp \"$1\" VIEWED\n"));
  ClearError();
  ViewErrors(session);
  EXPECT_TRUE(Written("No error file. COMPILE first."));
  EXPECT_EQ(terminal.Releases(), 0);

  WriteFile(kWorkListingFile, "listing\n");
  ViewErrors(session);
  EXPECT_EQ(ReadFile("VIEWED"), "listing\n");
  EXPECT_EQ(terminal.Releases(), 1);
  EXPECT_FALSE(session.edited);
}

}  // namespace
}  // namespace kxtdev
