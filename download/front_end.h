// What the download sequence tells its front end, and the one thing it asks.
// The sequence never draws or prints: kxtload writes each text to standard
// output as it comes, kxtdev puts it in its download window and boxes.
#pragma once

namespace download {

// Where a progress line belongs in kxtdev's download window.
enum class ProgressPlace {
  StatusRegister,      // kxtload: the one line naming both registers
  LineNumberRegister,  // kxtdev only
  Sending,
  Continuing,
  WordsTransmitted,
  Starting,
};

class FrontEnd {
 public:
  virtual ~FrontEnd() = default;
  virtual void ShowProgress(ProgressPlace place, const char* text) = 0;
  // A failure that ends the download, shown in the error report.
  virtual void ReportError(const char* text) = 0;
  // A failure that ends the download, shown in an error box.
  virtual void ShowErrorBox(const char* text) = 0;
  // Something the user should know; the download goes on.
  virtual void ShowWarning(const char* text) = 0;
  // A yes/no question; true means yes.
  virtual bool AskQuestion(const char* text) = 0;
};

}  // namespace download
