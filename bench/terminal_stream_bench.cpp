// The terminal emulator receiving a continuous stream at 115200 baud on a
// pseudo-terminal for 5 seconds: bytes lost, CPU of the emulator's thread as
// a share of one core, and bytes written to the terminal per byte received.
// The terminal is the in-memory console with the ANSI writer of the real
// terminal behind it (its output counted, not sent). Reference, in the same
// run: a bare reader taking the same stream through the same port calls.
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "console/ansi_writer.h"
#include "console/memory_console.h"
#include "console/screen.h"
#include "console/serial_ports.h"
#include "kxtdev/session.h"
#include "kxtdev/terminal_display.h"
#include "kxtdev/terminal_emulator.h"
#include "link/com_port.h"
#include "platform/pty_pair.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBaud = 115200;
constexpr int kBytesPerSecond = kBaud / 10;  // 8N1: 10 bits a byte
constexpr int kSeconds = 5;
constexpr int kSliceMs = 10;

// The in-memory console, with what a real terminal would be sent counted.
class CountingConsole : public console::MemoryConsole {
 public:
  void WriteCells(int row, int column, const unsigned char* characters, int count,
                  unsigned char attribute) override {
    MemoryConsole::WriteCells(row, column, characters, count, attribute);
    writer_.Cells(row, column, characters, count, attribute);
    Drain();
  }
  void FillCells(int row, int column, unsigned char character, int count,
                 unsigned char attribute) override {
    MemoryConsole::FillCells(row, column, character, count, attribute);
    writer_.Fill(row, column, character, count, attribute);
    Drain();
  }
  void WritePlain(const unsigned char* bytes, int count, int& row, int& column) override {
    int writer_row = row;
    int writer_column = column;
    writer_.Plain(bytes, count, writer_row, writer_column);
    MemoryConsole::WritePlain(bytes, count, row, column);
    Drain();
  }
  void PlaceCursor(int row, int column) override {
    MemoryConsole::PlaceCursor(row, column);
    cursor_row_ = row;
    cursor_column_ = column;
  }
  void SetCursorVisible(bool visible) override {
    MemoryConsole::SetCursorVisible(visible);
    cursor_wanted_ = visible;
    if (!visible) writer_.HideCursor();
  }
  int ReadInput(unsigned char* buffer, int capacity, int timeout_ms) override {
    if (cursor_wanted_) writer_.ShowCursorAt(cursor_row_, cursor_column_);  // as a flush does
    Drain();
    return MemoryConsole::ReadInput(buffer, capacity, timeout_ms);
  }

  long long terminal_bytes = 0;

 private:
  void Drain() {
    terminal_bytes += static_cast<long long>(writer_.Output().size());
    writer_.Output().clear();
  }

  console::AnsiWriter writer_;
  bool cursor_wanted_ = false;
  int cursor_row_ = 0;
  int cursor_column_ = 0;
};

// Lines of text with a control byte now and then, as a device's log would be.
std::string Stream() {
  std::string stream;
  for (int line = 0; static_cast<int>(stream.size()) < kBytesPerSecond * kSeconds; ++line) {
    char text[96];
    std::snprintf(text, sizeof text, "LINE %06d temperature 21.%d C pressure 1013 hPa status OK",
                  line, line % 10);
    stream += text;
    if (line % 16 == 0) stream += "\x07\xc8";
    stream += "\r\n";
  }
  stream.resize(kBytesPerSecond * kSeconds);
  if (stream.back() == '\r') stream.back() = '.';  // no CR left waiting at the end
  return stream;
}

// Writes the stream to the far end at line speed, in 10 ms slices.
void Produce(platform::PtyPair& line, const std::string& stream, std::atomic<bool>& done) {
  const size_t slice = kBytesPerSecond * kSliceMs / 1000;
  Clock::time_point next = Clock::now();
  for (size_t at = 0; at < stream.size(); at += slice) {
    std::this_thread::sleep_until(next);
    size_t size = std::min(slice, stream.size() - at);
    if (!line.WriteMaster(stream.data() + at, size)) break;
    next += std::chrono::milliseconds(kSliceMs);
  }
  done = true;
}

double ThreadCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Figures {
  double cpu_share = 0;
  long long received = 0;
  double seconds = 0;
};

// Reference: the same port calls with nothing shown.
Figures BareReader(const std::string& stream) {
  platform::PtyPair line;
  linklib::ComPort* port = nullptr;
  Figures figures;
  if (linklib::ComOpen(line.slave_path().c_str(), 3, 0, &port) != 0) return figures;
  std::atomic<bool> done{false};
  double cpu = ThreadCpuSeconds();
  Clock::time_point start = Clock::now();
  std::thread producer(Produce, std::ref(line), std::cref(stream), std::ref(done));
  unsigned char bytes[64];
  Clock::time_point quiet_since = Clock::now();
  while (figures.received < static_cast<long long>(stream.size())) {
    uint32_t moved = 0;
    linklib::ComRead(port, 0, 0, 0, bytes, sizeof bytes, &moved);
    figures.received += moved;
    if (moved > 0) quiet_since = Clock::now();
    if (done && Clock::now() - quiet_since > std::chrono::seconds(1)) break;
  }
  figures.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  figures.cpu_share = (ThreadCpuSeconds() - cpu) / figures.seconds;
  producer.join();
  linklib::ComClose(port);
  return figures;
}

}  // namespace

int main() {
  const std::string stream = Stream();
  kxtdev::TerminalDisplay expected_display;
  for (unsigned char byte : stream) expected_display.Receive(byte, 0);
  const std::string expected = expected_display.TakeShown();

  Figures reference = BareReader(stream);

  platform::PtyPair line;
  CountingConsole terminal;
  if (!line.valid() || !console::InitScreenOn(terminal)) {
    std::fprintf(stderr, "no pseudo-terminal or console\n");
    return 1;
  }
  console::SerialPortNames[0] = line.slave_path().c_str();
  kxtdev::Session session;
  session.setup = kxtdev::StandardDefaultSetup();
  session.setup.connection_type = kxtdev::kConnectionNone;
  session.setup.terminal_port = 0;
  session.setup.terminal_baud_rate = 15;  // 19200, the table's highest; a pty does not pace
  session.setup.terminal_data_bits = 1;

  std::atomic<bool> done{false};
  std::thread producer;
  size_t help_size = 0;
  double cpu = 0;
  long long terminal_bytes_at_start = 0;
  Clock::time_point start;
  Clock::time_point quiet_since;
  size_t shown_before = 0;
  // Starts the line once the emulator shows its help, ends it when all is shown
  // or the line has been quiet for a second after the last byte.
  terminal.Hold([&] {
    help_size = terminal.PlainOutput().size();
    terminal_bytes_at_start = terminal.terminal_bytes;
    cpu = ThreadCpuSeconds();
    start = quiet_since = Clock::now();
    producer = std::thread(Produce, std::ref(line), std::cref(stream), std::ref(done));
    return true;
  });
  terminal.Hold([&] {
    size_t shown = terminal.PlainOutput().size() - help_size;
    if (shown != shown_before) {
      shown_before = shown;
      quiet_since = Clock::now();
    }
    return shown >= expected.size() ||
           (done && Clock::now() - quiet_since > std::chrono::seconds(1));
  });
  terminal.TypeKeys({console::kKeyCtrlEnd});
  kxtdev::TerminalEmulator(session, 0);
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  double cpu_share = (ThreadCpuSeconds() - cpu) / seconds;
  long long terminal_bytes = terminal.terminal_bytes - terminal_bytes_at_start;
  producer.join();
  console::CloseScreen();

  std::string shown = terminal.PlainOutput().substr(help_size);
  // The Ctrl+End leaves nothing on the line: what follows the stream is not its.
  if (shown.size() > expected.size()) shown.resize(expected.size());
  long long lost_shown =
      static_cast<long long>(expected.size()) - static_cast<long long>(shown.size());
  bool exact = shown == expected;

  std::printf("terminal emulator, %d bytes at %d baud over %.2f s on a pseudo-terminal\n",
              static_cast<int>(stream.size()), kBaud, seconds);
  std::printf("  shown text equal to the stream's: %s; shown characters missing: %lld\n",
              exact ? "yes" : "no", lost_shown);
  std::printf("  bytes lost by the bare reader (reference): %lld\n",
              static_cast<long long>(stream.size()) - reference.received);
  std::printf("  CPU of the emulator's thread: %.1f%% of one core; bare reader: %.1f%% (x%.2f)\n",
              100 * cpu_share, 100 * reference.cpu_share,
              reference.cpu_share > 0 ? cpu_share / reference.cpu_share : 0.0);
  std::printf("  shown characters per byte received: %.2f\n",
              static_cast<double>(expected.size()) / stream.size());
  std::printf("  terminal bytes per byte received: %.2f; per character shown: %.3f\n",
              static_cast<double>(terminal_bytes) / stream.size(),
              static_cast<double>(terminal_bytes) / expected.size());
  return exact ? 0 : 1;
}
