#include "download/download_sequence.h"

#include <cstdarg>
#include <cstdio>

namespace download {
namespace {

using linklib::ReadRegisters;
using linklib::WriteRegisters;

constexpr size_t kTextSize = 160;  // room for the longest text and an 83-character link message

class Sequence {
 public:
  Sequence(const DownloadParameters& parameters, SequenceStyle style, ProgramFile& program,
           FrontEnd& front_end)
      : link_(parameters.link),
        channel_(parameters.channel),
        status_register_(parameters.status_register),
        auto_start_(parameters.auto_start),
        erase_(parameters.erase),
        channel_count_(parameters.channel_count),
        style_(style),
        program_(program),
        front_end_(front_end) {}

  DownloadResult Run() {
    Erase();
    uint16_t reported_location = PlaceStatusRegister();
    if (!WaitForHalt()) return Stop();
    if (reported_location != status_register_ && !AcceptFixedStatusRegister()) return Stop();
    ReportLocations();
    if (!Transfer()) return Stop();
    Finish();
    SetAutoStart();
    return DownloadResult::Completed;
  }

 private:
  bool Downloader() const { return style_ == SequenceStyle::Downloader; }

  DownloadResult Stop() {
    if (!Downloader()) program_.Close();
    return DownloadResult::Stopped;
  }

  void WriteWord(uint32_t reg, uint16_t value) { WriteRegisters(link_, reg, 1, &value); }

  // Writes [channel, 0] to the load channel select and program length
  // registers: selects the channel and halts it, clearing its program.
  void ClearChannel(int channel) {
    const uint16_t words[2] = {static_cast<uint16_t>(channel), 0};
    WriteRegisters(link_, kLoadChannelSelectRegister, 2, words);
  }

  // Descending, so that the first channel is written last and stays selected.
  // kxtload erases as many channels as -C names (a module has no more than
  // four, so a larger count erases four); kxtdev erases the first one only.
  // Without the erase the first channel is still selected: the module keeps
  // the last selection, which may name another channel, and the program
  // would land there.
  void Erase() {
    int count = Downloader() ? channel_count_ : 1;
    if (!erase_ || count < 1) {
      WriteWord(kLoadChannelSelectRegister, static_cast<uint16_t>(channel_));
      return;
    }
    if (count > kHighestChannel) count = kHighestChannel;
    for (int k = channel_ + count - 1; k >= channel_; --k) ClearChannel(k);
  }

  // Asks the module to keep the channel's status register at the requested
  // location; a module that keeps it elsewhere is taken to use the default.
  // Returns the location the module reported.
  uint16_t PlaceStatusRegister() {
    const uint32_t location_register = kStatusLocationBase + static_cast<uint32_t>(channel_);
    WriteWord(location_register, status_register_);
    // A failed read tells nothing about the location: the request stands.
    uint16_t reported = status_register_;
    ReadRegisters(link_, location_register, 1, &reported);
    if (reported != status_register_) status_register_ = static_cast<uint16_t>(2 * channel_);
    return reported;
  }

  bool WaitForHalt() {
    for (int attempt = 0; attempt < kHaltReads; ++attempt) {
      uint16_t status = 0;
      if (!ReadRegisters(link_, status_register_, 1, &status)) break;
      if ((status & kRunningBit) == 0) return true;
    }
    Format(Downloader() ? "Can't halt channel %d. %s\n" : "Can't halt channel %d. %s", channel_,
           linklib::LinkMessage(link_));
    front_end_.ReportError(text_);
    return false;
  }

  // The requested location did not take and the module reported something
  // other than the channel's default.
  bool AcceptFixedStatusRegister() {
    if (Downloader()) {
      front_end_.ShowWarning("WARNING: Module not equipped with flexible status registers.\n");
      return true;
    }
    return front_end_.AskQuestion("Module not equipped with flexible status registers. Continue?");
  }

  void ReportLocations() {
    if (Downloader()) {
      Format("Status register is at: %d, line number register is at %d\n", status_register_,
             status_register_ + 1);
      front_end_.ShowProgress(ProgressPlace::StatusRegister, text_);
      return;
    }
    Format("Status register is at %d", status_register_);
    front_end_.ShowProgress(ProgressPlace::StatusRegister, text_);
    Format("Line number register is at %d", status_register_ + 1);
    front_end_.ShowProgress(ProgressPlace::LineNumberRegister, text_);
  }

  bool Transfer() {
    const BlockRules rules = RulesFor(style_);
    uint16_t block[128];
    for (;;) {
      size_t words = program_.ReadWords(block, BlockWords(rules, next_));
      if (words == 0) return true;
      ShowSending(words);
      if (!WriteRegisters(link_, next_, static_cast<uint32_t>(words), block)) {
        // The downloader's progress line has no line end of its own yet: the
        // message goes on a line of its own below it.
        Format(Downloader() ? "\n%s\n" : "%s", linklib::LinkMessage(link_));
        front_end_.ReportError(text_);
        return false;
      }
      next_ += static_cast<uint32_t>(words);
      total_ += static_cast<uint32_t>(words);
      // A channel counts as full once its area is used up, even when the
      // file has nothing more to send.
      if (ChannelFull(next_) && !MoveOn(NextChannel(channel_, total_))) return false;
    }
  }

  void ShowSending(size_t words) {
    const unsigned last = next_ + static_cast<unsigned>(words) - 1;
    if (Downloader()) {
      if (words == 1)
        Format("\rSending %4u       ", next_);
      else
        Format("\rSending %4u..%4u ", next_, last);
    } else {
      if (words == 1)
        Format("Sending %4u", next_);
      else
        Format("Sending %4u..%4u", next_, last);
    }
    front_end_.ShowProgress(ProgressPlace::Sending, text_);
  }

  // Continues in channel `next_channel` when allowed; false after telling the
  // front end why the load ends here.
  bool MoveOn(int next_channel) {
    if (Downloader()) {
      if (channel_count_ < 2 || next_channel > kHighestChannel) {
        front_end_.ShowErrorBox("\nProgram code too long.  Load aborted.  Use -C switch.\n");
        return false;
      }
      --channel_count_;
      Format("\nContinuing on channel %d\n", next_channel);
      front_end_.ShowProgress(ProgressPlace::Continuing, text_);
      WriteWord(kLoadChannelSelectRegister, static_cast<uint16_t>(next_channel));
    } else {
      Format("Program full. Continue in channel %d?", next_channel);
      if (next_channel > kHighestChannel || !front_end_.AskQuestion(text_)) {
        front_end_.ShowErrorBox("Program code too long.  Load aborted.");
        return false;
      }
      Format("Continuing on channel %d", next_channel);
      front_end_.ShowProgress(ProgressPlace::Continuing, text_);
      ClearChannel(next_channel);
    }
    next_ = kContinuationStart;
    moved_on_ = true;
    return true;
  }

  void Finish() {
    if (!Downloader()) program_.Close();
    if (moved_on_) WriteWord(kLoadChannelSelectRegister, static_cast<uint16_t>(channel_));
    WriteWord(kProgramLengthRegister, static_cast<uint16_t>(total_ * 2));
    Format(Downloader() ? "\n%u words transmitted.\n" : "%u words transmitted.", total_);
    front_end_.ShowProgress(ProgressPlace::WordsTransmitted, text_);
  }

  // A word that could not be read is never written back: an invented run
  // control or Auto Start word would stop or change the other channels.
  void SetAutoStart() {
    const uint16_t bit = static_cast<uint16_t>(1u << (channel_ - 1));
    uint16_t mask = 0;
    if (ReadRegisters(link_, kAutoStartRegister, 1, &mask)) {
      mask = auto_start_ ? (mask | bit) : (mask & ~bit);
      WriteWord(kAutoStartRegister, mask);
    }
    mask = 0;
    ReadRegisters(link_, kAutoStartRegister, 1, &mask);
    if (mask & bit) {
      uint16_t run_control = 0;
      if (!ReadRegisters(link_, kRunControlRegister, 1, &run_control)) return;
      if (run_control & bit) return;
      Format(Downloader() ? "Starting program on channel %d\n" : "Starting program on channel %d",
             channel_);
      front_end_.ShowProgress(ProgressPlace::Starting, text_);
      WriteWord(kRunControlRegister, static_cast<uint16_t>(run_control | bit));
    } else if (auto_start_) {
      front_end_.ShowWarning(Downloader() ? "WARNING: Module not equipped for Auto Start.\n"
                                          : "WARNING: Module not equipped for Auto Start.");
    }
  }

  // Bounded: a long link message is cut, never overruns.
  __attribute__((format(printf, 2, 3))) void Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(text_, sizeof text_, format, args);
    va_end(args);
  }

  linklib::LinkHandle* link_;
  int channel_;
  uint16_t status_register_;
  bool auto_start_;
  bool erase_;
  int channel_count_;
  SequenceStyle style_;
  ProgramFile& program_;
  FrontEnd& front_end_;

  uint32_t next_ = kFirstChannelStart;
  uint32_t total_ = 0;
  bool moved_on_ = false;
  char text_[kTextSize] = {};
};

}  // namespace

DownloadResult RunDownload(const DownloadParameters& parameters, SequenceStyle style,
                           ProgramFile& program, FrontEnd& front_end) {
  return Sequence(parameters, style, program, front_end).Run();
}

}  // namespace download
