// Read, Write, eDit, eRase and print on the work file in a temporary
// directory: the files each leaves, the session state after it, and the
// questions it asks.
#include "kxtdev/source_commands.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "kxtdev/print_pages.h"
#include "tests/kxtdev/source_fixture.h"

namespace kxtdev {
namespace {

using SourceCommandsTest = SourceFixture;

struct State {
  std::string work_name;
  bool edited;
  bool compiled;
  bool operator==(const State&) const = default;
};
std::ostream& operator<<(std::ostream& out, const State& state) {
  return out << "{" << state.work_name << ", edited " << state.edited << ", compiled "
             << state.compiled << "}";
}

State StateOf(const Session& session) {
  return {session.work_name, session.edited, session.compiled};
}

void SetState(Session& session, const State& state) {
  std::snprintf(session.work_name, sizeof session.work_name, "%s", state.work_name.c_str());
  session.edited = state.edited;
  session.compiled = state.compiled;
}

TEST_F(SourceCommandsTest, ReadCopiesTheSourceAndStartsAFreshWork) {
  WriteFile("PUMP.KXT", "LOAD 1\r\nHALT\n");
  SetState(session, {"", false, true});
  // A name that does not open brings the selector back.
  Keys("NONE\r");
  ClearError();
  Keys("PUMP\r");
  ReadSource(session);
  EXPECT_TRUE(Written("LOAD SOURCE FROM DISK"));
  EXPECT_TRUE(Written("Can't open file \"NONE.KXT\" for read."));
  EXPECT_EQ(ReadFile(kWorkSourceFile), "LOAD 1\r\nHALT\n");  // bytes as they are
  EXPECT_EQ(StateOf(session), (State{"PUMP", false, false}));
  EXPECT_TRUE(terminal.ScriptDone());
}

TEST_F(SourceCommandsTest, ReadOfAnEditedWorkOffersTheWholeWriteFirst) {
  WriteFile("OLD.KXT", "old\n");
  WriteFile("NEW.KXT", "new\n");
  WriteFile(kWorkSourceFile, "edited\n");
  SetState(session, {"OLD", true, true});
  Keys("y");  // Save current file before loading new one?
  Keys(
      "OLD\r"
      "y");       // the write dialogue: File exists, overwrite it?
  Keys("NEW\r");  // then the read dialogue
  ReadSource(session);
  EXPECT_TRUE(Written("Save current file before loading new one?"));
  EXPECT_EQ(ReadFile("OLD.KXT"), "edited\n");
  EXPECT_EQ(ReadFile(kWorkSourceFile), "new\n");
  EXPECT_EQ(StateOf(session), (State{"NEW", false, false}));
}

TEST_F(SourceCommandsTest, ReadLeftWithEscapeChangesNothing) {
  WriteFile(kWorkSourceFile, "edited\n");
  SetState(session, {"OLD", true, true});
  Keys("n");
  Escape();
  ReadSource(session);
  EXPECT_EQ(StateOf(session), (State{"OLD", true, true}));
  EXPECT_EQ(ReadFile(kWorkSourceFile), "edited\n");
}

TEST_F(SourceCommandsTest, WriteUnderANewNameRenamesTheWork) {
  WriteFile(kWorkSourceFile, "work\n");
  WriteFile("KEEP.KXT", "keep\n");
  SetState(session, {"KEEP", true, true});
  Keys(
      "KEEP\r"
      "n");  // File exists, overwrite it? no: the selector again
  Keys("COPY\r");
  WriteSource(session);
  EXPECT_TRUE(Written("File exists, overwrite it?"));
  EXPECT_EQ(ReadFile("KEEP.KXT"), "keep\n");
  EXPECT_EQ(ReadFile("COPY.KXT"), "work\n");
  EXPECT_EQ(StateOf(session), (State{"COPY", false, true}));
}

TEST_F(SourceCommandsTest, AShortWriteIsReportedAndTheWorkStaysEdited) {
  WriteFile(kWorkSourceFile, std::string(5000, 'x'));
  ASSERT_EQ(symlink("/dev/full", "FULL.KXT"), 0);
  SetState(session, {"PUMP", true, false});
  Keys(
      "FULL\r"
      "y");
  ClearError();
  WriteSource(session);
  EXPECT_TRUE(Written("Unable to write to file \"FULL.KXT\""));
  EXPECT_EQ(StateOf(session), (State{"PUMP", true, false}));
}

TEST_F(SourceCommandsTest, WriteWithoutAWorkFileLeavesTheSourceOnDiskAlone) {
  WriteFile("PUMP.KXT", "precious\n");
  SetState(session, {"PUMP", true, false});
  Keys(
      "PUMP\r"
      "y");
  ClearError();
  WriteSource(session);
  EXPECT_TRUE(Written("Unable to open work file KXT$WORK.KXT"));
  EXPECT_EQ(ReadFile("PUMP.KXT"), "precious\n");
  EXPECT_EQ(StateOf(session), (State{"PUMP", true, false}));
}

TEST_F(SourceCommandsTest, EditWithoutAWorkCreatesOneAndDeletesAnOverwrittenSource) {
  WriteFile("OLD.KXT", "old\n");
  WriteFile("OLD.KXB", "ob");
  // The editor notes whether the old source was already gone when it ran.
  SetEditor(Script("ed.sh", "[ -e OLD.KXT ] && echo present >> \"$1\"; echo edited >> \"$1\"\n"));
  Keys("y");  // No file loaded. Create new file?
  Keys(
      "OLD\r"
      "n");  // File exists. Overwrite? no: choose again
  Keys(
      "OLD\r"
      "y");  // yes: deleted at once
  EditSource(session);
  EXPECT_TRUE(Written("No file loaded. Create new file?"));
  EXPECT_TRUE(Written("File exists. Overwrite?"));
  EXPECT_FALSE(Exists("OLD.KXT"));
  EXPECT_EQ(ReadFile(kWorkSourceFile), "edited\n");
  EXPECT_EQ(StateOf(session), (State{"OLD", true, false}));
}

TEST_F(SourceCommandsTest, EditWithoutAWorkStopsOnNoOrEscape) {
  SetEditor(Script("ed.sh", "echo edited >> \"$1\"\n"));
  Keys("n");
  EditSource(session);
  EXPECT_EQ(StateOf(session), (State{"", false, false}));
  Keys("y");
  Escape();
  EditSource(session);
  EXPECT_EQ(StateOf(session), (State{"", false, false}));
  EXPECT_FALSE(Exists(kWorkSourceFile));
  EXPECT_EQ(terminal.Releases(), 0);
}

TEST_F(SourceCommandsTest, EraseDeletesSourceWithCompiledOrCompiledAloneAndComesBack) {
  WriteFile("BOTH.KXT", "s");
  WriteFile("BOTH.KXB", "c");
  WriteFile("OBJ.KXB", "c");
  WriteFile("SRC.KXT", "s");
  SetState(session, {"SRC", true, true});
  Keys(
      "BOTH\r"
      "OBJ\r"
      "NONE\r");
  ClearError();
  Keys("SRC\r");
  Escape();
  EraseFile(session);
  EXPECT_TRUE(Written("Can't find file \"NONE\""));
  for (const char* name : {"BOTH.KXT", "BOTH.KXB", "OBJ.KXB", "SRC.KXT"})
    EXPECT_FALSE(Exists(name)) << name;
  EXPECT_EQ(StateOf(session), (State{"SRC", true, true}));
}

std::time_t FixedClock() { return 1796551260; }  // a fixed moment for the header

TEST_F(SourceCommandsTest, PrintWritesPagesToTheNamedFileAndReportsAShortWrite) {
  SetPrintClock(FixedClock);
  WriteFile(kWorkListingFile, "line 1\nline 2\n");
  SetState(session, {"PUMP", false, true});
  // The field starts with SYS$PRINT; the first key replaces it, and names
  // keep their case and path characters.
  Keys("/dev/full\r");
  ClearError();
  PrintFile(session, kWorkListingFile);
  EXPECT_TRUE(Written("SYS$PRINT"));
  EXPECT_TRUE(Written("Unable to write to file \"/dev/full\""));

  Keys("out/none.txt\r");  // a folder that is not there: the field again
  ClearError();
  Keys(
      "\x19"
      "Printed.txt\r");
  PrintFile(session, kWorkListingFile);
  EXPECT_TRUE(Written("Can't open file \"out/none.txt\" for write."));
  const std::string header =
      PrintDate(FixedClock()) + "                   PUMP                        Page 1\n\n";
  EXPECT_EQ(ReadFile("Printed.txt"), header + "line 1\nline 2\n\f");
  SetPrintClock(nullptr);
}

TEST_F(SourceCommandsTest, PrintOfAMissingFileSaysSo) {
  ClearError();
  PrintFile(session, kWorkSourceFile);
  EXPECT_TRUE(Written("Unable to open KXT$WORK.KXT"));
  EXPECT_FALSE(Written("PRINT"));
}

TEST(PrintPagesTest, FiftySixLinesAPageWithHeadersAndFormFeeds) {
  struct Case {
    int lines;
    int pages;
  };
  for (const Case c : {Case{0, 0}, Case{1, 1}, Case{56, 1}, Case{57, 2}, Case{113, 3}}) {
    SCOPED_TRACE(c.lines);
    std::string text;
    for (int i = 1; i <= c.lines; ++i) text += "L" + std::to_string(i) + "\n";
    std::FILE* in = fmemopen(text.data(), text.size(), "r");
    char* printed = nullptr;
    size_t size = 0;
    if (text.empty()) in = std::fopen("/dev/null", "r");  // fmemopen takes no empty buffer
    std::FILE* out = open_memstream(&printed, &size);
    ASSERT_TRUE(in && out);
    EXPECT_TRUE(PrintPages(in, out, "06/Dec/26 10:01", "PUMP"));
    std::fclose(in);
    std::fclose(out);
    std::string expected;
    for (int page = 1; page <= c.pages; ++page) {
      expected += "06/Dec/26 10:01                   PUMP                        Page " +
                  std::to_string(page) + "\n\n";
      for (int i = (page - 1) * 56 + 1; i <= std::min(page * 56, c.lines); ++i)
        expected += "L" + std::to_string(i) + "\n";
      expected += "\f";
    }
    EXPECT_EQ(std::string(printed, size), expected);
    std::free(printed);
  }
}

TEST(PrintPagesTest, LongLinesCountAsPiecesOf79) {
  // A line of 100 characters is two pieces: 28 fill a page, 29 need two.
  for (int lines : {28, 29}) {
    std::string text;
    for (int i = 0; i < lines; ++i) text += std::string(100, 'a') + "\n";
    std::FILE* in = fmemopen(text.data(), text.size(), "r");
    char* printed = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&printed, &size);
    EXPECT_TRUE(PrintPages(in, out, "D", "W"));
    std::fclose(in);
    std::fclose(out);
    const std::string result(printed, size);
    EXPECT_EQ(std::count(result.begin(), result.end(), '\f'), lines == 28 ? 1 : 2);
    std::free(printed);
  }
}

TEST(PrintDateTest, DayMonthYearHoursMinutes) {
  std::tm moment{};
  moment.tm_year = 126;
  moment.tm_mon = 11;
  moment.tm_mday = 6;
  moment.tm_hour = 10;
  moment.tm_min = 1;
  moment.tm_isdst = -1;
  EXPECT_EQ(PrintDate(std::mktime(&moment)), "06/Dec/26 10:01");
}

}  // namespace
}  // namespace kxtdev
