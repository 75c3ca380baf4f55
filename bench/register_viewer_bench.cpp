// kxtdev's register viewer sitting on an unchanged 20-register page against
// kxtsim on loopback Modbus TCP: refresh cycles per second (kxtsim's request
// lines), the CPU of this process while it sits there (the page and the link
// library's threads), and the ANSI bytes the terminal would get, with the
// spinner's counted apart. quillet's page runs the same way beside it as the
// reference.
//
//   register_viewer_bench [SECONDS]
//
// Goals: at most 100 cycles per second, a small fraction of one core, nothing
// but the spinner written while the page does not change.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "console/ansi_writer.h"
#include "console/console_backend.h"
#include "console/screen.h"
#include "kxtdev/register_viewer.h"
#include "quillet/register_screen.h"
#include "register_page/key_watch.h"
#include "tests/support/sim_process.h"

namespace {

using namespace console;
using Clock = std::chrono::steady_clock;

constexpr int kFirst = 1001;

// A terminal that waits in real time and turns the console's writes into the
// bytes a real terminal would get; after the warm-up it counts them, and at
// the end it types Escape.
class TimedTerminal : public ConsoleBackend {
 public:
  TimedTerminal(double warm_up_seconds, double seconds)
      : start_(Clock::now()),
        measure_from_(start_ + Seconds(warm_up_seconds)),
        end_(measure_from_ + Seconds(seconds)) {}

  bool Open(std::string&) override { return true; }
  void Close() override {}
  void WriteCells(int row, int column, const unsigned char* characters, int count,
                  unsigned char attribute) override {
    writer_.Cells(row, column, characters, count, attribute);
    Count(row == 0 && column == kConsoleColumns - 1 && count == 1);
  }
  void FillCells(int row, int column, unsigned char character, int count,
                 unsigned char attribute) override {
    writer_.Fill(row, column, character, count, attribute);
    Count(false);
  }
  void PlaceCursor(int row, int column) override {
    writer_.ShowCursorAt(row, column);
    Count(false);
  }
  void SetCursorVisible(bool visible) override {
    if (!visible) writer_.HideCursor();
    Count(false);
  }
  void Bell() override {}
  void Flush() override {}
  int ReadInput(unsigned char* buffer, int, int timeout_ms) override {
    if (Clock::now() >= end_ && !escape_sent_) {
      escape_sent_ = true;
      buffer[0] = 27;
      return 1;
    }
    if (timeout_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(timeout_ms));
    if (timeout_ms < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return 0;
  }
  std::int64_t NowMilliseconds() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
  }
  bool TakeRepaintNotice() override { return false; }
  void Suspend() override {}

  bool Measuring() const {
    Clock::time_point now = Clock::now();
    return now >= measure_from_ && now < end_;
  }
  Clock::time_point measure_from() const { return measure_from_; }
  Clock::time_point end() const { return end_; }
  size_t bytes = 0;
  size_t spinner_bytes = 0;

 private:
  static Clock::duration Seconds(double seconds) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  }
  void Count(bool spinner) {
    size_t written = writer_.Output().size();
    writer_.Output().clear();
    if (!Measuring()) return;
    (spinner ? spinner_bytes : bytes) += written;
  }

  AnsiWriter writer_;
  Clock::time_point start_, measure_from_, end_;
  bool escape_sent_ = false;
};

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

size_t CountLines(const std::string& text, const std::string& line) {
  size_t count = 0;
  for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++count;
  return count;
}

struct Figures {
  double cycles_per_second = 0;
  double core_percent = 0;
  size_t bytes = 0;
  size_t spinner_bytes = 0;
};

// Runs one page through its warm-up and the measured seconds. The CPU is
// sampled by a watcher thread at the edges of the measured span.
template <typename RunPage>
Figures Measure(testsupport::SimProcess& sim, double seconds, RunPage run_page) {
  TimedTerminal terminal(1.0, seconds);
  InitScreenOn(terminal);
  size_t log_before = 0;
  double cpu_before = 0;
  double cpu_after = 0;
  std::thread watcher([&] {
    std::this_thread::sleep_until(terminal.measure_from());
    log_before = sim.Output().size();
    cpu_before = CpuSeconds();
    std::this_thread::sleep_until(terminal.end());
    cpu_after = CpuSeconds();
  });
  run_page();
  watcher.join();
  CloseScreen();
  // Lines logged in the measured span (the last few after its end are few
  // against thousands, and the watcher stops the CPU clock at the end).
  std::string log = sim.Output().substr(log_before);
  Figures figures;
  figures.cycles_per_second =
      static_cast<double>(CountLines(log, "read holding " + std::to_string(kFirst) + " x20")) /
      seconds;
  figures.core_percent = 100.0 * (cpu_after - cpu_before) / seconds;
  figures.bytes = terminal.bytes;
  figures.spinner_bytes = terminal.spinner_bytes;
  return figures;
}

void Print(const char* name, const Figures& figures) {
  std::printf("%-22s %8.1f %9.2f%% %12zu %14zu\n", name, figures.cycles_per_second,
              figures.core_percent, figures.bytes, figures.spinner_bytes);
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
  if (seconds <= 0) seconds = 5.0;
  auto sim = testsupport::SimProcess::Start({"--tcp", "0", "-v"});
  if (!sim) {
    std::fprintf(stderr, "kxtsim did not start\n");
    return 1;
  }

  linklib::SetProgramStyle(linklib::ProgramStyle::RegisterEditor);
  quillet::RunOptions options;
  options.link = linklib::OpenModbusTCP("127.0.0.1", sim->tcp_port(), 1);
  options.start_register = kFirst;
  options.register_count = 20;
  options.highest_register = 65535;
  if (options.link == nullptr) return 1;
  quillet::UseQuilletKeyWatch();
  linklib::SetWaitCallback(options.link, quillet::ScreenWaitCallback, 0);
  Figures reference = Measure(*sim, seconds, [&] { quillet::RunRegisterScreen(options); });
  linklib::CloseLink(options.link);

  linklib::SetProgramStyle(linklib::ProgramStyle::Environment);
  kxtdev::Session session;
  session.setup = kxtdev::StandardDefaultSetup();
  session.setup.connection_type = kxtdev::kConnectionModbusTcp;
  session.setup.starting_register = kFirst;
  session.setup.screen_size = 20;
  session.setup.identify_module = kxtdev::kChoiceNo;
  session.setup.trap_errors = kxtdev::kChoiceNo;
  session.link = linklib::OpenModbusTCP("127.0.0.1", sim->tcp_port(), 1);
  if (session.link == nullptr) return 1;
  registerpage::KeyWatchStyle style;  // kxtdev's look of the key watch
  registerpage::SetKeyWatchStyle(style);
  Figures viewer = Measure(*sim, seconds, [&] { kxtdev::RegisterViewer(session); });
  linklib::CloseLink(session.link);

  std::printf("unchanged 20-register page on Modbus TCP loopback, %.1f s measured\n", seconds);
  std::printf("%-22s %8s %10s %12s %14s\n", "", "cycles/s", "one core", "page bytes",
              "spinner bytes");
  Print("quillet (reference)", reference);
  Print("kxtdev register viewer", viewer);
  std::printf("viewer / reference: cycles %.3f, CPU %.3f\n",
              viewer.cycles_per_second / reference.cycles_per_second,
              reference.core_percent > 0 ? viewer.core_percent / reference.core_percent : 0.0);
  return 0;
}
