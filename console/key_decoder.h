// Turns the bytes a terminal sends into the toolkit's one-byte key codes.
//
// Plain code over bytes and a clock: Feed bytes as they arrive with the time
// they arrived, Expire when the clock moves on without input, take keys. An
// Escape is held back until the next byte shows whether it starts a sequence,
// or until kEscapeTimeoutMs passes with nothing after it (a lone Escape).
// Understands the forms of xterm (both cursor-key modes), VT220, the Linux
// console, rxvt, screen and tmux. Keys without a code are swallowed. The
// Insert key comes out as kKeyInsertToggle. Ctrl+End has a code of its own
// (xterm, tmux: CSI 1;5F; rxvt: CSI 8^); the Linux console's default keymap
// sends End for it.
#pragma once

#include <cstdint>
#include <deque>

namespace console {

class KeyDecoder {
 public:
  static constexpr std::int64_t kEscapeTimeoutMs = 40;

  void Feed(unsigned char byte, std::int64_t now_ms);
  // Ends a held sequence whose time is up.
  void Expire(std::int64_t now_ms);
  bool HasKey() const { return !keys_.empty(); }
  int TakeKey();
  // Whether bytes are held back waiting for the rest of a sequence, and until when.
  bool Waiting() const { return state_ != State::kGround; }
  std::int64_t Deadline() const { return last_byte_ms_ + kEscapeTimeoutMs; }
  // Forgets held bytes and undelivered keys.
  void Reset();
  // Control characters as themselves instead of the editors' codes.
  void SetRawControls(bool on) { raw_controls_ = on; }
  bool RawControls() const { return raw_controls_; }

 private:
  enum class State { kGround, kEscape, kCsi, kSs3, kLinuxFunction, kUtf8 };
  static constexpr int kMaxParameters = 4;

  void Deliver(int key);
  void GroundByte(unsigned char byte);
  void FinishCsi(unsigned char final_byte);
  void FinishSs3(unsigned char final_byte);
  void DeliverModifiedKey(int code, int modifiers);
  void ClearSequence();
  int Control(unsigned char byte) const;

  std::deque<int> keys_;
  State state_ = State::kGround;
  std::int64_t last_byte_ms_ = 0;
  int parameters_[kMaxParameters] = {};
  int parameter_count_ = 0;
  bool parameter_started_ = false;
  bool private_marker_ = false;  // '<', '=', '>' or '?' after CSI: not a key
  bool intermediate_ = false;    // bytes 0x20..0x2F: not a key
  int sequence_length_ = 0;
  int utf8_remaining_ = 0;
  bool raw_controls_ = false;
};

}  // namespace console
