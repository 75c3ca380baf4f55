// The serial link's worker over an in-process pseudo-terminal pair: the test
// plays the far end of the line on the master side.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "link/frame_pool.h"
#include "link/link.h"
#include "link/serial_port.h"
#include "link/serial_worker.h"
#include "platform/pty_pair.h"

namespace linklib {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
constexpr auto kFailureBound = std::chrono::seconds(10);

// What the state machines of these tests saw, shared with the worker.
struct LineRecorder {
  std::mutex lock;
  std::condition_variable changed;
  std::vector<uint8_t> received;
  int quiet_line_ends = 0;
  std::optional<Clock::time_point> last_byte_at;
  std::optional<Clock::time_point> quiet_end_at;
  std::vector<uint8_t> to_send;
  size_t sent = 0;
  // The source was asked for more with nothing staged: its last write is done.
  std::optional<Clock::time_point> ran_dry_at;

  template <typename Condition>
  bool WaitUntil(Condition condition) {
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, kFailureBound, condition);
  }
  void Queue(const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::mutex> guard(lock);
    to_send.insert(to_send.end(), bytes.begin(), bytes.end());
    ran_dry_at.reset();
  }
};

LineRecorder* recorder = nullptr;

void RecordByte(LinkHandle*, uint8_t byte) {
  std::lock_guard<std::mutex> guard(recorder->lock);
  recorder->received.push_back(byte);
  recorder->last_byte_at = Clock::now();
  recorder->changed.notify_all();
}

uint16_t ServeQueuedBytes(LinkHandle* h) {
  std::lock_guard<std::mutex> guard(recorder->lock);
  if (recorder->sent < recorder->to_send.size()) return recorder->to_send[recorder->sent++];
  if (!recorder->ran_dry_at && h->tx_staged == 0) recorder->ran_dry_at = Clock::now();
  recorder->changed.notify_all();
  return kNothingToSend;
}

void RecordQuietLine(LinkHandle*) {
  std::lock_guard<std::mutex> guard(recorder->lock);
  ++recorder->quiet_line_ends;
  recorder->quiet_end_at = Clock::now();
  recorder->changed.notify_all();
}

std::vector<uint8_t> CountingBytes(size_t n, uint8_t first = 0) {
  std::vector<uint8_t> bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(first + i);
  return bytes;
}

class SerialLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    recorder = &record_;
    SetQuietLineAction(RecordQuietLine);
    ASSERT_TRUE(pty_.valid());
  }
  void TearDown() override {
    if (link_) CloseLink(link_);
    SetQuietLineAction(nullptr);
    recorder = nullptr;
  }
  LinkHandle* Open(uint32_t kind = kKindSymax) {
    link_ =
        OpenSerialLink(pty_.slave_path().c_str(), 0, nullptr, RecordByte, ServeQueuedBytes, kind);
    return link_;
  }
  std::vector<uint8_t> ReadFarEnd(size_t n) {
    std::vector<uint8_t> bytes(n);
    bytes.resize(pty_.ReadMaster(bytes.data(), n, milliseconds(10000)));
    return bytes;
  }

  platform::PtyPair pty_;
  LineRecorder record_;
  LinkHandle* link_ = nullptr;
};

TEST(SerialOpen, MissingPortsAndBadNamesGiveNull) {
  for (const char* name :
       {"/dev/no-such-serial-port", "COM0:", "COM", "LPT1:", "", "/etc/hostname"})
    EXPECT_EQ(OpenSerialLink(name, 0, nullptr, RecordByte, ServeQueuedBytes), nullptr) << name;
}

TEST(SerialOpen, PortNamesMapToDevices) {
  char path[32];
  EXPECT_TRUE(PortNameToDevicePath("COM1:", path, sizeof path));
  EXPECT_STREQ(path, "/dev/ttyS0");
  EXPECT_TRUE(PortNameToDevicePath("com12", path, sizeof path));
  EXPECT_STREQ(path, "/dev/ttyS11");
  EXPECT_TRUE(PortNameToDevicePath("/dev/ttyUSB0", path, sizeof path));
  EXPECT_STREQ(path, "/dev/ttyUSB0");
  EXPECT_FALSE(PortNameToDevicePath("COM1x", path, sizeof path));
  EXPECT_FALSE(
      PortNameToDevicePath("/dev/a-path-longer-than-the-room-given-for-it", path, sizeof path));
}

TEST_F(SerialLinkTest, OpenSetsTheLinkUpAndAddsThreeFrames) {
  int pool_before = PoolSize();
  Route route{2, {5, 7}};
  link_ = OpenSerialLink(pty_.slave_path().c_str(), 1, &route, RecordByte, ServeQueuedBytes);
  ASSERT_NE(link_, nullptr);
  EXPECT_EQ(PoolSize(), pool_before + 3);
  EXPECT_EQ(link_->kind, 1u);
  EXPECT_EQ(link_->mode, 1);
  EXPECT_EQ(link_->read_chunk, 8);
  EXPECT_EQ(link_->tx_chunk, 8);
  EXPECT_EQ(link_->tx_seq, 17);
  EXPECT_EQ(link_->response_char, 21);
  EXPECT_EQ(link_->rx_seq, 21);
  EXPECT_EQ(link_->reply_timeout, 500);
  EXPECT_EQ(link_->net_to_net, 1);
  EXPECT_EQ(link_->route.count, 2);
  EXPECT_EQ(link_->route.drops[1], 7);
  EXPECT_FALSE(link_->rts_toggle);
  EXPECT_EQ(link_->worker->read_interval_ms(), 20u);
  platform::LineSettings line = link_->worker->line();
  EXPECT_EQ(line.baud, 9600u);
  EXPECT_EQ(line.parity, platform::Parity::Even);
}

TEST_F(SerialLinkTest, OtherKindsUseLongChunksAndTheEditorTogglesRts) {
  SetProgramStyle(ProgramStyle::RegisterEditor);
  ASSERT_NE(Open(kKindModbusRtu), nullptr);
  SetProgramStyle(ProgramStyle::Downloader);
  EXPECT_EQ(link_->kind, 5u);
  EXPECT_EQ(link_->mode, 5);
  EXPECT_EQ(link_->read_chunk, 258);
  EXPECT_EQ(link_->tx_chunk, 258);
  // A pseudo-terminal has no RTS: the toggling link still carries bytes.
  EXPECT_TRUE(link_->rts_toggle);
  record_.Queue({1, 2, 3});
  KickTransmitter(link_);
  EXPECT_EQ(ReadFarEnd(3), (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(SerialLinkTest, PortIsExclusiveUntilClosed) {
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(OpenSerialLink(pty_.slave_path().c_str(), 0, nullptr, RecordByte, ServeQueuedBytes),
            nullptr);
  CloseLink(link_);
  link_ = nullptr;
  // The close waited for the worker, which closed the port.
  EXPECT_NE(Open(), nullptr);
}

TEST_F(SerialLinkTest, SentBytesReachTheFarEndInOrderAtLineSpeed) {
  ASSERT_NE(Open(), nullptr);
  const size_t n = 48;  // six writes of 8 bytes
  std::vector<uint8_t> bytes = CountingBytes(n, 0xF0);
  record_.Queue(bytes);
  Clock::time_point start = Clock::now();
  KickTransmitter(link_);
  EXPECT_EQ(ReadFarEnd(n), bytes);
  ASSERT_TRUE(record_.WaitUntil([&] { return record_.ran_dry_at.has_value(); }));
  // 9600,E,8,1 is 11 bits a character: the last write ends no earlier.
  auto wire_time = std::chrono::microseconds(n * 11 * 1000000 / 9600);
  EXPECT_GE(*record_.ran_dry_at - start, wire_time);
}

TEST_F(SerialLinkTest, ReceivedBytesReachTheHandlerInOrder) {
  ASSERT_NE(Open(), nullptr);
  std::vector<uint8_t> bytes = CountingBytes(256);  // every value, control characters too
  ASSERT_TRUE(pty_.WriteMaster(bytes.data(), bytes.size()));
  ASSERT_TRUE(record_.WaitUntil([&] { return record_.received.size() >= bytes.size(); }));
  EXPECT_EQ(record_.received, bytes);
}

TEST_F(SerialLinkTest, QuietLineAfterShortReadEndsModbusRtuFrame) {
  ASSERT_NE(Open(kKindModbusRtu), nullptr);
  ASSERT_TRUE(pty_.WriteMaster("\x01\x03\x02", 3));
  ASSERT_TRUE(record_.WaitUntil([&] { return record_.quiet_line_ends == 1; }));
  {
    std::lock_guard<std::mutex> guard(record_.lock);  // the worker may still be reading
    EXPECT_EQ(record_.received.size(), 3u);
    EXPECT_GE(*record_.quiet_end_at - *record_.last_byte_at, milliseconds(20));
  }
  // The next short read ends a frame of its own.
  std::vector<uint8_t> more = CountingBytes(2);
  ASSERT_TRUE(pty_.WriteMaster(more.data(), more.size()));
  ASSERT_TRUE(record_.WaitUntil([&] { return record_.quiet_line_ends == 2; }));
}

TEST_F(SerialLinkTest, SetPortModeChangesPaceAndReadInterval) {
  ASSERT_NE(Open(kKindModbusRtu), nullptr);
  ASSERT_EQ(SetPortMode(link_, 1200, 0, 2, 40, 8), 1);
  EXPECT_EQ(link_->reply_timeout, 40);
  EXPECT_EQ(link_->worker->read_interval_ms(), 132u);
  ASSERT_TRUE(pty_.WriteMaster("\x01", 1));
  ASSERT_TRUE(record_.WaitUntil([&] { return record_.quiet_line_ends == 1; }));
  EXPECT_GE(*record_.quiet_end_at - *record_.last_byte_at, milliseconds(132));
  // 1200,N,8,2 is 11 bits: 10 bytes take 91 ms.
  record_.Queue(CountingBytes(10));
  Clock::time_point start = Clock::now();
  KickTransmitter(link_);
  ASSERT_TRUE(record_.WaitUntil([&] { return record_.ran_dry_at.has_value(); }));
  EXPECT_GE(*record_.ran_dry_at - start, std::chrono::microseconds(10 * 11 * 1000000 / 1200));
}

TEST_F(SerialLinkTest, SetPortModeAppliesParityDataAndStopBits) {
  ASSERT_NE(Open(), nullptr);
  using platform::Parity;
  struct Case {
    int parity_code;
    int stop_bits;
    int data_bits;
    Parity parity;  // expected
    int stop;       // expected
  };
  // An unknown parity code keeps the parity of the case before it.
  const Case cases[] = {{0, 2, 8, Parity::None, 2},  {1, 1, 7, Parity::Even, 1},
                        {2, 0, 8, Parity::Odd, 1},   {3, 3, 8, Parity::Space, 1},
                        {4, 2, 7, Parity::Mark, 2},  {9, 1, 8, Parity::Mark, 1},
                        {-1, 2, 8, Parity::Mark, 2}, {1, 1, 8, Parity::Even, 1}};
  for (const Case& c : cases) {
    ASSERT_EQ(SetPortMode(link_, 4800, c.parity_code, c.stop_bits, 500, c.data_bits), 1);
    platform::LineSettings line = link_->worker->line();
    EXPECT_EQ(line.baud, 4800u);
    EXPECT_EQ(line.parity, c.parity) << c.parity_code;
    EXPECT_EQ(line.stop_bits, c.stop) << c.stop_bits;
    EXPECT_EQ(line.data_bits, c.data_bits);
  }
  // 9600 baud gives the same read interval as the open.
  ASSERT_EQ(SetPortMode8(link_, 9600, 1, 1, 500), 1);
  EXPECT_EQ(link_->worker->read_interval_ms(), 20u);
}

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST_F(SerialLinkTest, FarEndHangingUpDoesNotMakeTheWorkerSpin) {
  ASSERT_NE(Open(), nullptr);
  pty_.CloseSlave();
  pty_.CloseMaster();
  // Bytes to send on a dead line: every write fails, and the link goes on.
  record_.Queue(CountingBytes(200));
  KickTransmitter(link_);
  double cpu_before = ProcessCpuSeconds();
  Clock::time_point start = Clock::now();
  // Measured over a fixed window: a spinning worker burns all of it.
  std::this_thread::sleep_for(milliseconds(400));
  double wall = std::chrono::duration<double>(Clock::now() - start).count();
  double cpu = ProcessCpuSeconds() - cpu_before;
  EXPECT_LT(cpu, wall * 0.5);
  // The link kept serving its transmitter: failed writes counted as done.
  ASSERT_TRUE(record_.WaitUntil([&] { return record_.sent > 8; }));
}

// The caller's thread kicks while the worker receives and sends, and the
// receiver kicks too (as protocol receivers do): nothing is lost or reordered.
uint16_t EchoSource(LinkHandle* h) { return ServeQueuedBytes(h); }
void EchoingReceiver(LinkHandle* h, uint8_t byte) {
  RecordByte(h, byte);
  {
    std::lock_guard<std::mutex> guard(recorder->lock);
    recorder->to_send.push_back(static_cast<uint8_t>(byte ^ 0xFF));
  }
  KickTransmitter(h);
}

TEST_F(SerialLinkTest, KicksFromBothThreadsKeepEveryByteInOrder) {
  link_ = OpenSerialLink(pty_.slave_path().c_str(), 0, nullptr, EchoingReceiver, EchoSource,
                         kKindGateway);
  ASSERT_NE(link_, nullptr);
  ASSERT_EQ(SetPortMode(link_, 115200, 0, 1, 500, 8), 1);
  const int rounds = 50;
  std::vector<uint8_t> expected;
  for (int i = 0; i < rounds; ++i) {
    uint8_t caller_byte = static_cast<uint8_t>(i);
    uint8_t far_byte = static_cast<uint8_t>(0x80 + i);
    record_.Queue({caller_byte});
    KickTransmitter(link_);
    ASSERT_TRUE(pty_.WriteMaster(&far_byte, 1));
    std::vector<uint8_t> got = ReadFarEnd(2);
    ASSERT_EQ(got.size(), 2u);
    // Either may go first; each is sent exactly once.
    EXPECT_TRUE((got == std::vector<uint8_t>{caller_byte, static_cast<uint8_t>(far_byte ^ 0xFF)}) ||
                (got == std::vector<uint8_t>{static_cast<uint8_t>(far_byte ^ 0xFF), caller_byte}));
  }
}

}  // namespace
}  // namespace linklib
