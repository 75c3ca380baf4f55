#include "kxtload/downloader.h"

#include <cstring>
#include <string>

#include "cli/argument_text.h"
#include "download/download_sequence.h"
#include "kxtload/command_line.h"
#include "kxtload/console_front_end.h"
#include "kxtload/link_opening.h"

namespace kxtload {
namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;

// As named, or else with the extension added that compiled programs are
// written with (NAME.KXB), or else in lower case: file names are
// case-sensitive.
bool OpenProgram(const char* file_name, download::ProgramFile& program) {
  if (program.Open(file_name)) return true;
  for (const char* extension : {".KXB", ".kxb"})
    if (program.Open((std::string(file_name) + extension).c_str())) return true;
  return false;
}

// Closes the link on every way out.
class LinkOwner {
 public:
  explicit LinkOwner(linklib::LinkHandle* link) : link_(link) {}
  ~LinkOwner() {
    if (link_) linklib::CloseLink(link_);
  }
  LinkOwner(const LinkOwner&) = delete;
  LinkOwner& operator=(const LinkOwner&) = delete;
  linklib::LinkHandle* get() const { return link_; }

 private:
  linklib::LinkHandle* link_;
};

}  // namespace

int RunDownloader(int argc, const char* const* argv, FILE* in, FILE* out) {
  PrintBanner(out);
  RunOptions options;
  switch (ParseArguments(argc, argv, out, options)) {
    case Outcome::ExitSuccess:
      return kSuccess;
    case Outcome::ExitFailure:
      return kFailure;
    case Outcome::Continue:
      break;
  }
  if (options.channel == 0) AskChannelAndStatusRegister(in, out, options);
  if (options.channel < 1 || options.channel > 4) {
    std::fprintf(out, "Invalid channel %d. Must be 1..4.\n", options.channel);
    return kFailure;
  }
  if (options.status_register == 0) options.status_register = 2 * options.channel;

  if (!options.file_name[0] && !AskText(in, out, "File? ", options.file_name, kFileNameLimit)) {
    cli::PrintTooLong(out, "File name", kFileNameLimit);
    return kFailure;
  }
  download::ProgramFile program;
  if (!OpenProgram(options.file_name, program)) {
    std::fprintf(out, "Can't open input file.\n");
    return kFailure;
  }
  if (!options.address[0] &&
      !AskText(in, out, "Port, IP address, or host name? ", options.address, kAddressLimit)) {
    cli::PrintTooLong(out, "Address", kAddressLimit);
    return kFailure;
  }
  ParseRoute(options);

  LinkOwner link(OpenLinkFromOptions(options, out));
  if (!link.get()) return kFailure;
  // The location is checked only once the link is open.
  if (options.status_register < 2 || options.status_register > 2047) {
    std::fprintf(out, "Invalid status register %d. Must be 2..2047\n", options.status_register);
    return kFailure;
  }

  download::DownloadParameters parameters;
  parameters.link = link.get();
  parameters.channel = options.channel;
  parameters.status_register = static_cast<uint16_t>(options.status_register);
  parameters.auto_start = options.auto_start;
  parameters.erase = options.erase;
  parameters.channel_count = options.channel_count;
  ConsoleFrontEnd front_end(out);
  download::DownloadResult result =
      download::RunDownload(parameters, download::SequenceStyle::Downloader, program, front_end);
  return result == download::DownloadResult::Completed ? kSuccess : kFailure;
}

}  // namespace kxtload
