// kxtload's face of the download: every text goes to standard output as it
// comes (the sequence's texts carry their own line ends and carriage
// returns), flushed at once so that a person watches the progress.
#pragma once

#include <cstdio>

#include "download/front_end.h"

namespace kxtload {

class ConsoleFrontEnd : public download::FrontEnd {
 public:
  explicit ConsoleFrontEnd(FILE* out) : out_(out) {}
  void ShowProgress(download::ProgressPlace, const char* text) override { Print(text); }
  void ReportError(const char* text) override { Print(text); }
  void ShowErrorBox(const char* text) override { Print(text); }
  void ShowWarning(const char* text) override { Print(text); }
  // The downloader's style asks nothing.
  bool AskQuestion(const char* text) override {
    Print(text);
    return false;
  }

 private:
  void Print(const char* text) {
    std::fputs(text, out_);
    std::fflush(out_);
  }
  FILE* out_;
};

}  // namespace kxtload
