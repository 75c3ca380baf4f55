#include "kxtdev/compile.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "console/screen.h"
#include "console/windows.h"
#include "kxtdev/command_scope.h"
#include "kxtdev/configuration_screens.h"
#include "kxtdev/download.h"
#include "kxtdev/editor_start.h"
#include "kxtdev/link_session.h"
#include "platform/child_process.h"

namespace kxtdev {
namespace {

using namespace console;

constexpr char kBanner[] = "Veltrane KXT Compiler";
constexpr char kSuccessLine[] = "Successful compile.";
constexpr char kNoObjectLine[] = "No object generated.";
constexpr char kErrorMark[] = ": error ";
constexpr char kWarningMark[] = ": warning ";
constexpr int kVersionOffset = 22;  // the version starts at the 23rd character
constexpr int kPieceSize = 80;      // listing pieces of at most 79 characters
constexpr int kWindowTextWidth = 48;

// A piece without its line end, for showing.
std::string Shown(const char* piece) {
  std::string text = piece;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// The compiler line: "COMPILE KXT$WORK.KXT -oNAME.KXB >KXT$WORK.ERR", with the
// names quoted so the shell passes "$WORK" on as it stands.
std::string CompilerLine(const std::string& compiled_name) {
  return std::string("COMPILE ") + platform::ShellQuote(kWorkSourceFile) + " " +
         platform::ShellQuote("-o" + compiled_name) + " >" + platform::ShellQuote(kWorkListingFile);
}

// Reads the listing: the version and the result lines into the window,
// each warning reported as it is read, the errors counted into the session.
// Returns the number of warnings.
int ReadListing(Session& session, std::FILE* listing) {
  int warnings = 0;
  char piece[kPieceSize];
  while (std::fgets(piece, sizeof piece, listing) != nullptr) {
    if (std::strncmp(piece, kBanner, sizeof kBanner - 1) == 0) {
      session.compiled = true;
      const std::string line = Shown(piece);
      const char* version = line.size() > kVersionOffset ? line.c_str() + kVersionOffset : "";
      PrintAt("Compiler version: %8.8s", 10, 10, 0, ' ', kNormal, version);
    }
    if (std::strncmp(piece, kSuccessLine, sizeof kSuccessLine - 1) == 0 ||
        std::strstr(piece, kNoObjectLine) != nullptr) {
      PutText(Shown(piece).c_str(), 11, 10, kWindowTextWidth, ' ', kNormal);
    }
    if (std::strstr(piece, kErrorMark) != nullptr) {
      ++session.unresolved_errors;
    } else if (const char* warning = std::strstr(piece, kWarningMark)) {
      ++warnings;
      ReportError(session, Shown(warning + sizeof kWarningMark - 1).c_str());
    }
  }
  return warnings;
}

}  // namespace

void CompileWork(Session& session) {
  ScopedWindow window(OpenBox(9, 9, 13, 58, "COMPILE"));
  std::remove(kWorkListingFile);
  session.compiled = false;
  session.unresolved_errors = 0;
  if (session.work_name[0] == '\0') {
    ReportError(session, "No source code. Use READ or EDIT.");
    return;
  }
  const std::string compiled_name = WithExtension(session.work_name, ".KXB");
  std::remove(compiled_name.c_str());

  platform::RunShellCommand(CompilerLine(compiled_name));
  RequestRepaint();  // anything the compiler wrote to the terminal is gone

  ScopedFile listing(std::fopen(kWorkListingFile, "r"));
  if (!listing) {
    ReportError(session, "Unable to spawn KXT compiler.");
    return;
  }
  const int warnings = ReadListing(session, listing.get());
  listing.Close();
  if (!session.compiled) {
    ReportError(session, "Unable to spawn KXT compiler.");
    return;
  }
  if (!FileExists(compiled_name)) {
    ReportError(session, "No object generated");
    if (session.unresolved_errors == 0) session.unresolved_errors = 1;
  }
  if (session.unresolved_errors > 0) {
    ReportErrorF(session, "%d errors and %d warnings found.", session.unresolved_errors, warnings);
    return;
  }
  if (!Confirm(warnings > 0 ? "Compiled with warnings. Download now?"
                            : "Successful compile. Download now?")) {
    return;
  }
  if (session.link == nullptr) ConfigureComputer(session);
  if (session.link != nullptr && CheckModule(session, "KXT"))
    DownloadProgram(session, session.work_name);
}

void ViewErrors(Session& session) {
  if (!FileExists(kWorkListingFile)) {
    ReportError(session, "No error file. COMPILE first.");
    return;
  }
  StartEditor(session, kWorkListingFile);
  RequestRepaint();
}

}  // namespace kxtdev
