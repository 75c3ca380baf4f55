// The worker thread of a serial link: it owns the port, hands received bytes
// to the receive state machine, writes the bytes the transmit pump staged and
// counts a write done only when its bytes have left the wire.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "link/line_clock.h"
#include "link/link_handle.h"
#include "platform/event.h"
#include "platform/serial_device.h"

namespace linklib {

// Run when a Modbus RTU link's line goes quiet after a short read
// (ModbusRtuEndFrame); tests put a probe in its place, null restores it.
using QuietLineAction = void (*)(LinkHandle* handle);
void SetQuietLineAction(QuietLineAction action);

class SerialWorker {
 public:
  // `rts_toggle`: RTS raised only while sending (two-wire RS-485), by the
  // driver where it can, else around the writes.
  SerialWorker(LinkHandle* handle, std::unique_ptr<platform::SerialDevice> device, bool rts_toggle,
               const platform::LineSettings& line, uint32_t read_interval_ms);
  ~SerialWorker();
  SerialWorker(const SerialWorker&) = delete;
  SerialWorker& operator=(const SerialWorker&) = delete;

  // Starts the thread; false when it (or its event) cannot be made.
  bool Start();
  // Tells the thread that the pump staged bytes to write.
  void Wake();
  // Ends the thread and waits for it; the port closes with the worker.
  void Stop();

  // Applies line settings to the port (a pseudo-terminal keeps 8N1: the
  // line clock still follows what was asked). 0 or errno.
  int SetLine(const platform::LineSettings& line, uint32_t read_interval_ms);
  platform::LineSettings line() const;
  uint32_t read_interval_ms() const;

 private:
  using Clock = LineClock::Clock;

  // What the thread knows about the write in progress.
  struct WriteState {
    bool active = false;
    uint8_t bytes[sizeof(LinkHandle::tx_stage)] = {};
    size_t size = 0;
    size_t handed = 0;         // bytes the driver has taken
    Clock::time_point done{};  // when the handed bytes have left the wire
    bool failed = false;       // a write failed: wait, then count it as done
    Clock::time_point resume{};
  };

  // What the thread knows about the read in progress.
  struct ReadState {
    size_t count = 0;  // bytes of a read that has not filled read_chunk
    Clock::time_point last_byte{};
    bool paused = false;  // a read failed: look again at `resume`
    Clock::time_point resume{};
  };

  void Run();
  void SetUpRtsControl();
  void TakeStagedBytes(WriteState& write);
  void ReadFromPort(ReadState& read, Clock::time_point now);
  void WriteToPort(WriteState& write, Clock::time_point now);
  void FinishWriteIfDone(WriteState& write, Clock::time_point now);
  void EndQuietRead(ReadState& read, Clock::time_point now);

  LinkHandle* handle_;
  std::unique_ptr<platform::SerialDevice> device_;
  platform::Event wake_;
  std::atomic<bool> stop_{false};
  std::thread thread_;

  bool rts_toggle_;
  bool rts_by_writes_ = false;  // the worker raises and lowers RTS itself
  bool rts_raised_ = false;

  mutable std::mutex line_lock_;  // guards the three below
  platform::LineSettings line_;
  uint32_t read_interval_ms_;
  LineClock clock_;
};

}  // namespace linklib
