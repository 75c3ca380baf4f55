#include "kxtdev/download.h"

#include <cstring>
#include <string>

#include "console/file_selector.h"
#include "console/screen.h"
#include "console/windows.h"
#include "download/download_sequence.h"
#include "kxtdev/command_scope.h"
#include "kxtdev/download_fields.h"
#include "kxtdev/link_session.h"

namespace kxtdev {
namespace {

using namespace console;
using download::ProgressPlace;

// The download window's side of the sequence: progress lines at their
// places, questions and failures in the environment's boxes.
class WindowFrontEnd : public download::FrontEnd {
 public:
  explicit WindowFrontEnd(const Session& session) : session_(session) {}

  void ShowProgress(ProgressPlace place, const char* text) override {
    const std::string line = WithoutLineEnds(text);
    switch (place) {
      case ProgressPlace::StatusRegister:
        Show(line, 14, 0, kNormal);
        break;
      case ProgressPlace::LineNumberRegister:
        Show(line, 15, 0, kNormal);
        break;
      case ProgressPlace::Sending:
        Show(line, 16, 20, kNormal);
        break;
      case ProgressPlace::Continuing:
        Show(line, 17, 23, kNormal);
        break;
      case ProgressPlace::WordsTransmitted:
        Show(line, 16, 23, kNormal);
        break;
      case ProgressPlace::Starting:
        Show(line, 16, 20, kBright);
        break;
    }
  }
  void ReportError(const char* text) override {
    kxtdev::ReportError(session_, WithoutLineEnds(text).c_str());
  }
  void ShowErrorBox(const char* text) override { ShowError(WithoutLineEnds(text).c_str()); }
  void ShowWarning(const char* text) override {
    kxtdev::ReportError(session_, WithoutLineEnds(text).c_str());
  }
  bool AskQuestion(const char* text) override { return Confirm(text) != 0; }

 private:
  // Over a cleared space of the given width; a longer text is shown whole
  // ("Starting program on channel %d" is wider than its space).
  static void Show(const std::string& line, int row, int width, int flags) {
    const int length = static_cast<int>(line.size());
    PutText(line.c_str(), row, 22, length > width ? length : width, ' ', flags);
  }

  static std::string WithoutLineEnds(const char* text) {
    std::string line = text;
    std::erase(line, '\n');
    return line;
  }

  const Session& session_;
};

// The fields, then the sequence on the open program file; the caller's
// window stays until this returns.
void RunFromWindow(Session& session, download::ProgramFile& program) {
  if (!EditDownloadFields(session)) return;
  const int channel = static_cast<int>(session.download_channel);
  const int status_register = StatusRegisterValue(session.download_status_register);
  if (channel < 1 || channel > 4 || status_register < 2 || status_register > 2047) return;

  download::DownloadParameters parameters;
  parameters.link = session.link;
  parameters.channel = channel;
  parameters.status_register = static_cast<uint16_t>(status_register);
  parameters.auto_start = session.download_auto_start == 1;
  parameters.erase = true;
  WindowFrontEnd front_end(session);
  download::RunDownload(parameters, download::SequenceStyle::Environment, program, front_end);
}

void DownloadWorkFile(Session& session, const char* work_name) {
  if (!session.compiled) {
    ReportError(session, "Not compiled, can't download.");
    return;
  }
  if (session.unresolved_errors > 0) {
    ReportError(session, "Unresolved compiler errors, can't download.");
    return;
  }
  const std::string compiled_name = WithExtension(work_name, ".KXB");
  download::ProgramFile program;
  if (!program.Open(compiled_name.c_str())) {
    ReportErrorF(session, "Can't open object file \"%s\"", compiled_name.c_str());
    return;
  }
  ScopedWindow window(OpenBox(10, 20, 18, 60, "DOWNLOAD WORK FILE"));
  RunFromWindow(session, program);
}

void DownloadDiskFile(Session& session) {
  constexpr const char* kTitle = "DOWNLOAD DISK FILE";
  ScopedWindow small_window(OpenBox(9, 20, 13, 60, kTitle));
  PutText("File to load:", 10, 22, 0, ' ', kNormal);
  download::ProgramFile program;
  std::string file_name;
  for (;;) {
    char name[kSelectedNameLimit + 1] = "";
    if (!SelectFile(10, 36, "*.KXB", name, 1)) return;
    file_name = WithExtension(name, ".KXB");
    if (program.Open(file_name.c_str())) break;
    ReportErrorF(session, "Can't open file \"%s\" for read.", file_name.c_str());
  }
  small_window.Close();
  ScopedWindow window(OpenBox(9, 20, 18, 60, kTitle));
  PutText("File to load:", 10, 22, 0, ' ', kNormal);
  PutText(file_name.c_str(), 10, 36, 12, ' ', kBright);
  RunFromWindow(session, program);
}

}  // namespace

void DownloadProgram(Session& session, const char* work_name) {
  if (session.link == nullptr) return;  // the callers open the link first
  if (work_name != nullptr && work_name[0] != '\0')
    DownloadWorkFile(session, work_name);
  else
    DownloadDiskFile(session);
}

}  // namespace kxtdev
