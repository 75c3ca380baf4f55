#include "link/serial_worker.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <system_error>

#include "link/protocols.h"
#include "link/serial_port.h"

namespace linklib {
namespace {

// After a failed read or write the worker looks again this much later: it
// neither spins on a dead line nor gives up serving the link.
constexpr auto kRetryDelay = std::chrono::milliseconds(10);
// How often a real device's output queue is looked at once the line clock
// says the bytes are out (flow control may hold them back).
constexpr auto kDrainPoll = std::chrono::milliseconds(2);

std::atomic<QuietLineAction> quiet_line_action{nullptr};

}  // namespace

void SetQuietLineAction(QuietLineAction action) { quiet_line_action.store(action); }

SerialWorker::SerialWorker(LinkHandle* handle, std::unique_ptr<platform::SerialDevice> device,
                           bool rts_toggle, const platform::LineSettings& line,
                           uint32_t read_interval_ms)
    : handle_(handle),
      device_(std::move(device)),
      rts_toggle_(rts_toggle),
      line_(line),
      read_interval_ms_(read_interval_ms) {
  clock_.SetFraming(line.baud, platform::BitsPerCharacter(line));
}

SerialWorker::~SerialWorker() { Stop(); }

bool SerialWorker::Start() {
  if (!wake_.valid() || !device_) return false;
  SetUpRtsControl();
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void SerialWorker::Wake() { wake_.Signal(); }

void SerialWorker::Stop() {
  stop_.store(true);
  wake_.Signal();
  if (thread_.joinable()) thread_.join();
}

int SerialWorker::SetLine(const platform::LineSettings& line, uint32_t read_interval_ms) {
  std::lock_guard<std::mutex> guard(line_lock_);
  int result = device_->Configure(line, nullptr);
  line_ = line;
  read_interval_ms_ = read_interval_ms;
  clock_.SetFraming(line.baud, platform::BitsPerCharacter(line));
  return result;
}

platform::LineSettings SerialWorker::line() const {
  std::lock_guard<std::mutex> guard(line_lock_);
  return line_;
}

uint32_t SerialWorker::read_interval_ms() const {
  std::lock_guard<std::mutex> guard(line_lock_);
  return read_interval_ms_;
}

void SerialWorker::SetUpRtsControl() {
  if (!rts_toggle_) {
    device_->SetRts(true);  // a device without RTS (a pseudo-terminal) just refuses
    return;
  }
  if (device_->EnableRtsOnSend() == 0) return;  // the driver does it
  // Without driver support RTS is raised before a write and lowered once its
  // bytes have left the wire; a device without RTS needs nothing.
  rts_by_writes_ = device_->SetRts(false) == 0;
}

void SerialWorker::Run() {
  WriteState write;
  ReadState read;
  while (!stop_.load()) {
    if (!write.active) TakeStagedBytes(write);
    // Hand new bytes over at once; the wait below is for a full driver buffer.
    if (write.active && !write.failed && write.handed < write.size)
      WriteToPort(write, Clock::now());

    Clock::time_point now = Clock::now();
    std::optional<Clock::time_point> deadline;
    auto no_later_than = [&deadline](Clock::time_point when) {
      if (!deadline || when < *deadline) deadline = when;
    };
    if (read.count > 0)
      no_later_than(read.last_byte + std::chrono::milliseconds(read_interval_ms()));
    if (read.paused) no_later_than(read.resume);
    bool want_write = false;
    if (write.active) {
      if (write.failed)
        no_later_than(write.resume);
      else if (write.handed == write.size)
        no_later_than(write.done);
      else
        want_write = true;
    }
    platform::WaitResult ready = device_->Wait(&wake_, !read.paused, want_write, deadline);
    if (ready.woken) wake_.Clear();
    if (stop_.load()) break;

    now = Clock::now();
    if (read.paused && now >= read.resume) read.paused = false;
    if (!read.paused && (ready.readable || ready.hangup)) ReadFromPort(read, now);
    if (want_write && (ready.writable || ready.hangup)) WriteToPort(write, now);
    now = Clock::now();
    EndQuietRead(read, now);
    FinishWriteIfDone(write, now);
  }
  if (rts_by_writes_ && rts_raised_) device_->SetRts(false);
}

void SerialWorker::TakeStagedBytes(WriteState& write) {
  std::lock_guard<std::recursive_mutex> guard(handle_->pump_lock);
  if (!(handle_->link_flags & kFlagWriteOutstanding) || handle_->tx_staged == 0) return;
  write.size = std::min<size_t>(handle_->tx_staged, sizeof write.bytes);
  std::copy(handle_->tx_stage, handle_->tx_stage + write.size, write.bytes);
  write.handed = 0;
  write.failed = false;
  write.active = true;
  if (rts_by_writes_ && !rts_raised_) rts_raised_ = device_->SetRts(true) == 0;
}

void SerialWorker::ReadFromPort(ReadState& read, Clock::time_point now) {
  size_t chunk = std::clamp<size_t>(handle_->read_chunk, 1, sizeof handle_->read_buffer);
  size_t room = chunk > read.count ? chunk - read.count : chunk;
  platform::IoResult result = device_->Read(handle_->read_buffer, room);
  if (result.count == 0) {
    if (result.error != EAGAIN || result.end_of_file) {
      read.paused = true;
      read.resume = now + kRetryDelay;
    }
    return;
  }
  {
    std::lock_guard<std::recursive_mutex> guard(handle_->pump_lock);
    if (handle_->rx_handler)
      for (size_t i = 0; i < result.count; ++i)
        handle_->rx_handler(handle_, handle_->read_buffer[i]);
  }
  read.last_byte = now;
  read.count += result.count;
  // A read that filled its chunk ends without a quiet line: no frame end.
  if (read.count >= chunk) read.count = 0;
}

void SerialWorker::EndQuietRead(ReadState& read, Clock::time_point now) {
  if (read.count == 0) return;
  if (now - read.last_byte <= std::chrono::milliseconds(read_interval_ms())) return;
  read.count = 0;
  // The short read: the line went quiet, which ends a Modbus RTU frame.
  std::lock_guard<std::recursive_mutex> guard(handle_->pump_lock);
  if (handle_->mode != kKindModbusRtu) return;
  QuietLineAction action = quiet_line_action.load();
  (action ? action : ModbusRtuEndFrame)(handle_);
}

void SerialWorker::WriteToPort(WriteState& write, Clock::time_point now) {
  platform::IoResult result = device_->Write(write.bytes + write.handed, write.size - write.handed);
  if (result.count > 0) {
    write.handed += result.count;
    std::lock_guard<std::mutex> guard(line_lock_);
    write.done = clock_.Add(result.count, now);
  } else if (result.error != EAGAIN) {
    // The bytes are lost as on a broken line; the protocol's time-outs and
    // retries take it from there.
    write.failed = true;
    write.resume = now + kRetryDelay;
  }
}

void SerialWorker::FinishWriteIfDone(WriteState& write, Clock::time_point now) {
  if (!write.active) return;
  if (write.failed) {
    if (now < write.resume) return;
  } else {
    if (write.handed < write.size || now < write.done) return;
    if (!device_->is_pseudo_terminal()) {
      // A real device may still hold bytes (flow control, a slow adapter).
      if (device_->OutputPending() > 0) {
        write.done = now + kDrainPoll;
        return;
      }
      device_->Drain();
    }
  }
  write.active = false;
  {
    std::lock_guard<std::recursive_mutex> guard(handle_->pump_lock);
    RunTransmitPump(handle_, write.size);
  }
  TakeStagedBytes(write);
  if (!write.active && rts_by_writes_ && rts_raised_) {
    device_->SetRts(false);
    rts_raised_ = false;
  }
}

}  // namespace linklib
