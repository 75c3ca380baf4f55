#include "kxtdev/source_commands.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "console/file_selector.h"
#include "console/line_editor.h"
#include "console/screen.h"
#include "console/windows.h"
#include "kxtdev/command_scope.h"
#include "kxtdev/editor_start.h"
#include "kxtdev/link_session.h"
#include "kxtdev/print_pages.h"

namespace kxtdev {
namespace {

using namespace console;

constexpr const char* kSourcePattern = "*.KXT";
constexpr int kPrintNameLimit = 34;
// Output names are paths or printer files: both letter cases, kept as typed.
constexpr const char* kPrintNameCharacters = "A-Za-z0-9$./\\_~:-";

void SetWorkName(Session& session, const char* name) {
  std::snprintf(session.work_name, sizeof session.work_name, "%s", name);
}

}  // namespace

void ReadSource(Session& session) {
  ScopedWindow window(OpenBox(10, 20, 13, 58, "LOAD SOURCE FROM DISK"));
  if (session.work_name[0] != '\0' && session.edited &&
      Confirm("Save current file before loading new one?")) {
    WriteSource(session);
  }
  PutText("File to read:", 11, 22, 0, ' ', kNormal);
  char name[kSelectedNameLimit + 1];
  std::snprintf(name, sizeof name, "%s", session.work_name);
  for (;;) {
    if (!SelectFile(12, 22, kSourcePattern, name, 1)) return;
    const std::string source_name = WithExtension(name, ".KXT");
    ScopedFile source(std::fopen(source_name.c_str(), "rb"));
    if (!source) {
      ReportErrorF(session, "Can't open file \"%s\" for read.", source_name.c_str());
      continue;
    }
    ScopedFile work(std::fopen(kWorkSourceFile, "wb"));
    if (!work) {
      ReportError(session, "Unable to create work file KXT$WORK.KXT");
      return;
    }
    if (!CopyStream(source.get(), work.get()) || !work.Close()) {
      ReportError(session, "Unable to write to work file KXT$WORK.KXT");
      return;
    }
    session.compiled = false;
    session.edited = false;
    SetWorkName(session, name);
    return;
  }
}

void WriteSource(Session& session) {
  ScopedWindow window(OpenBox(10, 20, 13, 58, "SAVE SOURCE TO DISK"));
  PutText("File to write:", 11, 22, 0, ' ', kNormal);
  char name[kSelectedNameLimit + 1];
  std::snprintf(name, sizeof name, "%s", session.work_name);
  for (;;) {
    if (!SelectFile(12, 22, kSourcePattern, name, 1)) return;
    const std::string target_name = WithExtension(name, ".KXT");
    if (FileExists(target_name) && !Confirm("File exists, overwrite it?")) continue;
    // The work file is opened before the target is emptied, so a missing
    // work file never destroys the source on disk.
    ScopedFile work(std::fopen(kWorkSourceFile, "rb"));
    if (!work) {
      ReportError(session, "Unable to open work file KXT$WORK.KXT");
      return;
    }
    ScopedFile target(std::fopen(target_name.c_str(), "wb"));
    if (!target) {
      ReportErrorF(session, "Can't open file \"%s\" for write.", target_name.c_str());
      continue;
    }
    if (!CopyStream(work.get(), target.get()) || !target.Close()) {
      ReportErrorF(session, "Unable to write to file \"%s\"", target_name.c_str());
      return;
    }
    session.edited = false;
    SetWorkName(session, name);
    return;
  }
}

void EditSource(Session& session) {
  if (session.work_name[0] == '\0') {
    ScopedWindow window(OpenBox(10, 20, 13, 58, "EDIT SOURCE"));
    if (!Confirm("No file loaded. Create new file?")) return;
    PutText("File to create:", 11, 22, 0, ' ', kNormal);
    for (;;) {
      if (!SelectFile(12, 22, kSourcePattern, session.work_name, 1)) {
        session.work_name[0] = '\0';
        return;
      }
      const std::string source_name = WithExtension(session.work_name, ".KXT");
      if (!FileExists(source_name)) break;
      if (Confirm("File exists. Overwrite?")) {
        std::remove(source_name.c_str());
        break;
      }
      session.work_name[0] = '\0';
    }
  }
  StartEditor(session, kWorkSourceFile);
  session.edited = true;  // whatever the editor did
  RequestRepaint();
}

void PrintFile(Session& session, const char* file_name) {
  ScopedFile input(std::fopen(file_name, "rb"));
  if (!input) {
    ReportErrorF(session, "Unable to open %s", file_name);
    return;
  }
  ScopedWindow window(OpenBox(10, 20, 13, 58, "PRINT"));
  PutText("Output file:", 11, 22, 0, ' ', kNormal);
  char output_name[kPrintNameLimit + 1] = "SYS$PRINT";
  const char exit_keys[] = {kKeyEnter, kKeyEscape, '\0'};
  ScopedFile output;
  for (;;) {
    int key = EditLine(output_name, 12, 22, kPrintNameLimit, '_', kPrintNameCharacters, exit_keys,
                       kEditStartFromText | kEditReplaceOnFirstKey | kBright);
    if (key == kKeyEscape) return;
    output.Reset(std::fopen(output_name, "wb"));
    if (output) break;
    ReportErrorF(session, "Can't open file \"%s\" for write.", output_name);
  }
  const std::string date = PrintDate(PrintTime());
  if (!PrintPages(input.get(), output.get(), date.c_str(), session.work_name) || !output.Close()) {
    ReportErrorF(session, "Unable to write to file \"%s\"", output_name);
  }
}

void EraseFile(Session& session) {
  ScopedWindow window(OpenBox(10, 20, 12, 60, "DELETE FILE"));
  PutText("File to delete:", 11, 22, 0, ' ', kNormal);
  for (;;) {
    char name[kSelectedNameLimit + 1] = "";
    if (!SelectFile(11, 38, kSourcePattern, name, 1)) return;
    const std::string source_name = WithExtension(name, ".KXT");
    const std::string compiled_name = WithExtension(name, ".KXB");
    if (FileExists(source_name)) {
      std::remove(source_name.c_str());
      std::remove(compiled_name.c_str());
    } else if (FileExists(compiled_name)) {
      std::remove(compiled_name.c_str());
    } else {
      ReportErrorF(session, "Can't find file \"%s\"", name);
    }
  }
}

}  // namespace kxtdev
