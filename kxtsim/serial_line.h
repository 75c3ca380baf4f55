// Runs one serial slave on a serial endpoint: hands it every received byte,
// tells it when the line has gone quiet, and sends what it has at the line's
// pace, one character time per byte, as a real line would.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "kxtsim/event_source.h"
#include "kxtsim/serial_slave.h"
#include "platform/sim_serial_endpoint.h"

namespace kxtsim {

// Microseconds one character occupies on the line.
uint64_t CharacterMicroseconds(uint32_t baud, int bits_per_character);

class SerialLine : public EventSource {
 public:
  // `quiet_ms`: the silence after which LineQuiet is called (0: never).
  SerialLine(std::unique_ptr<platform::SerialEndpoint> endpoint, SerialSlave& slave,
             uint64_t character_us, uint64_t quiet_ms);

  void AddPollItems(std::vector<platform::PollItem>& items) override;
  void Handle(const platform::PollItem* items, size_t count, uint64_t now_ms) override;
  std::optional<uint64_t> NextDeadline() const override;

 private:
  void ReceiveAvailable(uint64_t now_ms);
  void Transmit();
  static uint64_t NowMicroseconds();

  std::unique_ptr<platform::SerialEndpoint> endpoint_;
  SerialSlave& slave_;
  uint64_t character_us_;
  uint64_t quiet_ms_;
  uint64_t line_free_at_us_ = 0;  // when the last byte handed over has left the wire
  bool more_to_send_ = true;
  std::optional<uint64_t> quiet_at_ms_;
  std::vector<uint8_t> unsent_;  // bytes the device did not take yet
  uint64_t read_pause_until_ms_ = 0;
};

}  // namespace kxtsim
