// Starting the text editor from eDit: the real child process, the messages
// chosen by what actually failed, the terminal lent and taken back, and the
// editor chosen when the default "EDIT.COM" is not there.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "kxtdev/editor_start.h"
#include "kxtdev/source_commands.h"
#include "tests/kxtdev/source_fixture.h"

namespace kxtdev {
namespace {

class SourceEditorTest : public SourceFixture {
 protected:
  void SetUp() override {
    SourceFixture::SetUp();
    std::snprintf(session.work_name, sizeof session.work_name, "DEMO");
    WriteFile(kWorkSourceFile, "LOAD 1\n");
  }

  // eDit on the current work, then the terminal must be ours again.
  void Edit() {
    EditSource(session);
    EXPECT_EQ(terminal.Releases(), 1);
    EXPECT_FALSE(terminal.IsReleased());
    EXPECT_TRUE(console::RepaintPending());
    EXPECT_TRUE(session.edited);  // whatever the editor did
  }
};

TEST_F(SourceEditorTest, AnEditorThatChangesTheWorkFileGetsItsNameAndTheTerminal) {
  // The script proves it got the one argument and could use the terminal's
  // file: it appends to the work file it was given.
  SetEditor(Script("ed.sh", "[ $# -eq 1 ] || exit 3\necho 'HALT' >> \"$1\"\n"));
  Edit();
  EXPECT_EQ(ReadFile(kWorkSourceFile), "LOAD 1\nHALT\n");
  EXPECT_FALSE(Written("Error spawning"));
}

TEST_F(SourceEditorTest, FailuresAreReportedByTheirCause) {
  struct Case {
    const char* what;
    std::string editor;
    std::string message;
  };
  const std::string exits_1 = Script("fails.sh", "exit 1\n");
  const std::string no_magic = directory + "/nomagic";
  WriteFile(no_magic, "\x01\x02 not a program");
  chmod(no_magic.c_str(), 0755);
  const Case cases[] = {
      {"missing", directory + "/absent", "Can't access editor " + directory + "/absent"},
      {"exit status 1", exits_1, "Error spawning " + exits_1 + " status=1"},
      {"not a program", no_magic, "Editor " + no_magic + " is not executable"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    console::CloseScreen();
    terminal = console::MemoryConsole();
    ASSERT_TRUE(console::InitScreenOn(terminal));
    session.edited = false;
    SetEditor(c.editor);
    ClearError();
    Edit();
    EXPECT_TRUE(Written(c.message));
  }
}

// The environment variables of the fallback, restored after each case.
class EnvironmentValue {
 public:
  EnvironmentValue(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~EnvironmentValue() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(EditorCommandTest, TheDefaultFallsBackToVisualThenEditorThenVi) {
  struct Case {
    const char* configured;
    const char* visual;
    const char* editor;
    std::vector<std::string> command;
  };
  const Case cases[] = {
      {"EDIT.COM", "myvisual", "myeditor", {"myvisual", "F.KXT"}},
      {"EDIT.COM", nullptr, "myeditor", {"myeditor", "F.KXT"}},
      {"EDIT.COM", "", "myeditor", {"myeditor", "F.KXT"}},
      {"EDIT.COM", nullptr, nullptr, {"vi", "F.KXT"}},
      {"EDIT.COM", nullptr, "emacs -nw", {"/bin/sh", "-c", "emacs -nw \"$1\"", "sh", "F.KXT"}},
      // Any other configured editor is started as it stands.
      {"nano", "myvisual", nullptr, {"nano", "F.KXT"}},
      {"/no/such/editor", "myvisual", nullptr, {"/no/such/editor", "F.KXT"}},
  };
  EnvironmentValue path("PATH", "/usr/bin:/bin");  // no EDIT.COM there
  for (const Case& c : cases) {
    SCOPED_TRACE(c.configured + std::string(" ") + (c.visual ? c.visual : "-"));
    EnvironmentValue visual("VISUAL", c.visual);
    EnvironmentValue editor("EDITOR", c.editor);
    std::string shown;
    EXPECT_EQ(EditorCommand(c.configured, "F.KXT", shown), c.command);
  }
}

TEST(EditorCommandTest, AnExistingEditComIsStarted) {
  char folder[] = "/tmp/kxtdev_editcom_XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string program = std::string(folder) + "/EDIT.COM";
  SourceFixture::WriteFile(program, "#!/bin/sh\n");
  chmod(program.c_str(), 0755);
  EnvironmentValue path("PATH", folder);
  EnvironmentValue visual("VISUAL", "myvisual");
  std::string shown;
  EXPECT_EQ(EditorCommand("EDIT.COM", "F.KXT", shown),
            (std::vector<std::string>{"EDIT.COM", "F.KXT"}));
  std::remove(program.c_str());
  rmdir(folder);
}

}  // namespace
}  // namespace kxtdev
