// Bytes sent to the terminal for one refresh of a register page (20 rows of
// five cells, as the register editor shows them): nothing changed, one value
// changed, a full repaint, beside a naive full redraw of the 80 x 25 screen.
// The bytes are the ANSI output the real terminal would get.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "console/ansi_writer.h"
#include "console/console_backend.h"
#include "console/screen.h"

namespace {

using namespace console;

// The terminal backend's output path without a terminal: counts the bytes.
class CountingBackend : public ConsoleBackend {
 public:
  bool Open(std::string&) override { return true; }
  void Close() override {}
  void WriteCells(int row, int column, const unsigned char* characters, int count,
                  unsigned char attribute) override {
    writer_.Cells(row, column, characters, count, attribute);
  }
  void FillCells(int row, int column, unsigned char character, int count,
                 unsigned char attribute) override {
    writer_.Fill(row, column, character, count, attribute);
  }
  void PlaceCursor(int, int) override {}
  void SetCursorVisible(bool) override {}
  void Bell() override { writer_.Bell(); }
  void Flush() override {
    bytes_ += writer_.Output().size();
    writer_.Output().clear();
  }
  int ReadInput(unsigned char*, int, int) override { return 0; }
  std::int64_t NowMilliseconds() override { return 0; }
  bool TakeRepaintNotice() override { return false; }
  void Suspend() override {}

  std::size_t TakeBytes() {
    Flush();
    std::size_t bytes = bytes_;
    bytes_ = 0;
    return bytes;
  }
  AnsiWriter& Writer() { return writer_; }

 private:
  AnsiWriter writer_;
  std::size_t bytes_ = 0;
};

std::uint16_t g_values[20];

// One refresh of the page: register, value in decimal, hex and binary, status.
void RefreshPage() {
  for (int i = 0; i < 20; ++i) {
    int row = 3 + i;
    std::uint16_t value = g_values[i];
    char binary[17];
    for (int bit = 0; bit < 16; ++bit) binary[bit] = (value >> (15 - bit)) & 1 ? '1' : '0';
    binary[16] = '\0';
    PrintAt("%5d", row, 2, 7, ' ', kBright, 40001 + i);
    PrintAt("%u", row, 10, 7, ' ', kRightAlign | kNormal, value);
    PrintAt("%04X", row, 19, 6, ' ', kNormal, value);
    PutText(binary, row, 27, 18, ' ', kNormal);
    PutText(i % 7 == 3 ? "TIMEOUT" : "OK", row, 47, 9, ' ', i % 7 == 3 ? kRed : kNormal);
  }
}

// Every cell of the screen sent again, as a program without an image does.
std::size_t NaiveRedrawBytes() {
  AnsiWriter writer;
  for (int row = 1; row <= kScreenRows; ++row) {
    unsigned char line[kConsoleColumns];
    for (int column = 1; column <= kConsoleColumns; ++column) {
      line[column - 1] = ImageCharacter(row, column);
    }
    // One write per run of one colour, like the console's own writes.
    int start = 1;
    for (int column = 2; column <= kConsoleColumns + 1; ++column) {
      if (column > kConsoleColumns || ImageCode(row, column) != ImageCode(row, start)) {
        static const unsigned char kAttributes[8] = {0x17, 0x71, 0x1E, 0x7E,
                                                     0x1C, 0x7C, 0x1C, 0x6C};
        writer.Cells(row - 1, start - 1, line + start - 1, column - start,
                     kAttributes[ImageCode(row, start)]);
        start = column;
      }
    }
  }
  return writer.Output().size();
}

}  // namespace

int main() {
  CountingBackend terminal;
  InitScreenOn(terminal);
  for (int i = 0; i < 20; ++i) g_values[i] = static_cast<std::uint16_t>(i * 977);
  PutText("Register editor page", 1, 1, 80, ' ', kInverse | kCentre);
  RefreshPage();
  terminal.TakeBytes();

  RefreshPage();
  std::size_t unchanged = terminal.TakeBytes();

  g_values[7] = 12345;
  RefreshPage();
  std::size_t one_changed = terminal.TakeBytes();

  RequestRepaint();
  RefreshPage();
  std::size_t repaint = terminal.TakeBytes();

  std::size_t naive = NaiveRedrawBytes();

  constexpr int kRounds = 20000;
  auto start = std::chrono::steady_clock::now();
  for (int round = 0; round < kRounds; ++round) RefreshPage();
  auto elapsed = std::chrono::steady_clock::now() - start;
  terminal.TakeBytes();
  double microseconds =
      std::chrono::duration<double, std::micro>(elapsed).count() / static_cast<double>(kRounds);

  std::printf("bytes to the terminal for one refresh of a 20-register page\n");
  std::printf("  naive full redraw (reference)  %6zu bytes  1.000\n", naive);
  std::printf("  full repaint from the image    %6zu bytes  %.3f\n", repaint,
              static_cast<double>(repaint) / static_cast<double>(naive));
  std::printf("  one value changed              %6zu bytes  %.3f\n", one_changed,
              static_cast<double>(one_changed) / static_cast<double>(naive));
  std::printf("  nothing changed                %6zu bytes  %.3f\n", unchanged,
              static_cast<double>(unchanged) / static_cast<double>(naive));
  std::printf("time for one unchanged refresh (100 PutText calls): %.2f us\n", microseconds);
  CloseScreen();
  return unchanged == 0 ? 0 : 1;
}
