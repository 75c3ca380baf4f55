// Register read requests per second over Modbus RTU and ASCII links on a
// pseudo-terminal pair at 19200 baud, beside the wire time of each exchange.
//
// The far end is a slave in this process that answers at once but paces its
// side as a real line would: the request's bytes leave the link at line
// speed, and the reply takes its own line time before it is written. The
// wire time of an exchange is request + reply at 10 bits per byte (8N1),
// plus, for RTU, the quiet gap (the read interval) that ends the reply.
//
//   build/bin/modbus_serial_bench [seconds per case, default 3]
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "link/link.h"
#include "link/modbus_checks.h"
#include "link/serial_port.h"
#include "platform/pty_pair.h"

namespace {

using Clock = std::chrono::steady_clock;
using linklib::ModbusCrc;
using linklib::ModbusLrc;

constexpr uint32_t kBaud = 19200;
constexpr int kBitsPerByte = 10;  // 8N1
constexpr uint8_t kSlave = 1;

Clock::duration WireTime(size_t bytes) {
  return std::chrono::microseconds(bytes * kBitsPerByte * 1000000ull / kBaud);
}

std::vector<uint8_t> RtuFrame(std::vector<uint8_t> frame) {
  uint16_t crc = ModbusCrc(frame.data(), frame.size());
  frame.push_back(crc & 0xFF);
  frame.push_back(crc >> 8);
  return frame;
}

std::vector<uint8_t> AsciiFrame(const std::vector<uint8_t>& frame) {
  std::vector<uint8_t> text{':'};
  for (uint8_t b : frame) {
    text.push_back(linklib::HexDigit(b >> 4));
    text.push_back(linklib::HexDigit(b));
  }
  uint8_t lrc = ModbusLrc(frame.data(), frame.size());
  text.push_back(linklib::HexDigit(lrc >> 4));
  text.push_back(linklib::HexDigit(lrc));
  text.push_back('\r');
  text.push_back('\n');
  return text;
}

// Answers every read of `count` registers with the same reply.
class PacedSlave {
 public:
  PacedSlave(platform::PtyPair& pty, bool ascii, uint32_t count) : pty_(pty) {
    std::vector<uint8_t> reply{kSlave, 0x03, static_cast<uint8_t>(2 * count)};
    for (uint32_t i = 0; i < count; ++i) {
      reply.push_back(static_cast<uint8_t>(i >> 8));
      reply.push_back(static_cast<uint8_t>(i));
    }
    reply_ = ascii ? AsciiFrame(reply) : RtuFrame(reply);
    request_size_ = ascii ? 17 : 8;
    thread_ = std::thread([this] { Serve(); });
  }
  ~PacedSlave() {
    stop_ = true;
    thread_.join();
  }
  size_t request_size() const { return request_size_; }
  size_t reply_size() const { return reply_.size(); }

 private:
  void Serve() {
    std::vector<uint8_t> request(request_size_);
    while (!stop_) {
      size_t got = pty_.ReadMaster(request.data(), 1, std::chrono::milliseconds(50));
      if (got == 0) continue;
      Clock::time_point first_byte = Clock::now();
      got += pty_.ReadMaster(request.data() + 1, request_size_ - 1, std::chrono::seconds(2));
      if (got < request_size_) continue;
      // The request's last byte is on the wire at first_byte + its line time;
      // the reply then takes its own.
      std::this_thread::sleep_until(first_byte + WireTime(request_size_) + WireTime(reply_.size()));
      pty_.WriteMaster(reply_.data(), reply_.size());
    }
  }

  platform::PtyPair& pty_;
  std::vector<uint8_t> reply_;
  size_t request_size_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

void RunCase(bool ascii, uint32_t count, double seconds) {
  platform::PtyPair pty;
  if (!pty.valid()) {
    std::printf("no pseudo-terminal\n");
    std::exit(1);
  }
  const char* path = pty.slave_path().c_str();
  linklib::LinkHandle* link =
      ascii ? linklib::OpenModbusAscii(path, kSlave) : linklib::OpenModbusRTU(path, kSlave);
  if (!link || !linklib::SetPortMode8(link, kBaud, 0, 1, 200)) {
    std::printf("cannot open the link\n");
    std::exit(1);
  }
  PacedSlave slave(pty, ascii, count);
  std::vector<uint16_t> words(count);
  int done = 0, failed = 0;
  Clock::time_point start = Clock::now();
  Clock::time_point end =
      start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  while (Clock::now() < end) {
    if (linklib::ReadRegisters(link, 1, count, words.data()) == static_cast<int>(count))
      ++done;
    else
      ++failed;
  }
  double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  linklib::CloseLink(link);

  double gap_ms = ascii ? 0.0 : linklib::ReadIntervalTimeout(kBaud);
  double request_ms =
      std::chrono::duration<double, std::milli>(WireTime(slave.request_size())).count();
  double reply_ms = std::chrono::duration<double, std::milli>(WireTime(slave.reply_size())).count();
  double wire_ms = request_ms + reply_ms + gap_ms;
  double rate = done / elapsed;
  std::printf(
      "%-5s %3u regs  %7.1f req/s  %6.2f ms/req | wire: request %5.2f + reply %6.2f"
      " + gap %4.1f = %6.2f ms (%6.1f req/s)  ratio %.2f%s\n",
      ascii ? "ASCII" : "RTU", count, rate, 1000.0 / (rate > 0 ? rate : 1), request_ms, reply_ms,
      gap_ms, wire_ms, 1000.0 / wire_ms, rate * wire_ms / 1000.0, failed ? "  (failures!)" : "");
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
  if (seconds <= 0) seconds = 3.0;
  std::printf("Modbus serial register reads at %u baud on a pseudo-terminal pair\n", kBaud);
  std::printf("(ratio = measured rate / rate the wire time allows; 1.00 is the line's limit)\n");
  for (bool ascii : {false, true})
    for (uint32_t count : {1u, 20u, 125u}) RunCase(ascii, count, seconds);
  return 0;
}
