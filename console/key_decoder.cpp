#include "console/key_decoder.h"

#include "console/screen.h"

namespace console {
namespace {

constexpr int kNoKey = 0;
constexpr int kMaxSequenceLength = 32;  // longer ones are garbage, not keys
constexpr int kMaxParameterValue = 9999;

// Control characters with a meaning of their own in the editors.
int TranslateControl(unsigned char byte) {
  switch (byte) {
    case 0x00:
      return kNoKey;  // Ctrl-@ / Ctrl-Space
    case 0x01:
      return kKeyHome;
    case 0x04:
      return kKeyEraseToEnd;
    case 0x06:
      return kKeyWordRight;
    case 0x07:
      return kKeyEnd;
    case 0x08:
      return kKeyBackspace;
    case 0x0A:
      return kKeyCtrlEnter;  // Ctrl-J, what every terminal can send
    case 0x12:
      return kKeyWordLeft;
    case 0x15:
      return kKeyEraseToStart;
    case 0x16:
      return kKeyDelete;
    case 0x19:
      return kKeyClearField;
    case 0x7F:
      return kKeyBackspace;
    default:
      return byte;
  }
}

// modifier parameter of xterm-style sequences: 1 + (shift 1, alt 2, ctrl 4).
constexpr int kShift = 1;
constexpr int kAlt = 2;
constexpr int kCtrl = 4;

int ModifierBits(int parameter) { return parameter > 1 ? parameter - 1 : 0; }

// "CSI 1;5 x" or the older "CSI 5 x": Ctrl alone on a cursor-style key.
bool IsCtrlOnly(int modifiers, int parameter_count, int first) {
  if (parameter_count >= 2) return first <= 1 && modifiers == kCtrl;
  return parameter_count == 1 && first == 5;
}

// End among the "CSI n ~" keys (VT220 Select, rxvt End).
bool IsEndNumber(int number) { return number == 4 || number == 8; }

// The "CSI n ~" keys.
int TildeKey(int number) {
  switch (number) {
    case 1:
    case 7:
      return kKeyHome;
    case 2:
      return kKeyInsertToggle;
    case 3:
      return kKeyDelete;
    case 4:
    case 8:
      return kKeyEnd;
    case 5:
      return kKeyPageUp;
    case 6:
      return kKeyPageDown;
    case 11:
    case 12:
    case 13:
    case 14:
    case 15:
      return kKeyF1 + number - 11;
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
      return kKeyF6 + number - 17;
    default:
      return kNoKey;  // F11, F12 and the rest have no code
  }
}

// Final bytes shared by "CSI x" and "SS3 x".
int CursorKey(unsigned char final_byte) {
  switch (final_byte) {
    case 'A':
      return kKeyUp;
    case 'B':
      return kKeyDown;
    case 'C':
      return kKeyRight;
    case 'D':
      return kKeyLeft;
    case 'H':
      return kKeyHome;
    case 'F':
      return kKeyEnd;
    case 'P':
    case 'Q':
    case 'R':
    case 'S':
      return kKeyF1 + (final_byte - 'P');
    default:
      return kNoKey;
  }
}

// The numeric keypad in application mode.
int KeypadKey(unsigned char final_byte) {
  if (final_byte >= 'p' && final_byte <= 'y') return '0' + (final_byte - 'p');
  switch (final_byte) {
    case 'M':
      return kKeyEnter;
    case 'X':
      return '=';
    case 'j':
      return '*';
    case 'k':
      return '+';
    case 'l':
      return ',';
    case 'm':
      return '-';
    case 'n':
      return '.';
    case 'o':
      return '/';
    default:
      return kNoKey;
  }
}

}  // namespace

int KeyDecoder::Control(unsigned char byte) const {
  if (!raw_controls_) return TranslateControl(byte);
  if (byte == 0x08 || byte == 0x7F) return kKeyBackspace;
  return byte;  // NUL stays 0: no key
}

void KeyDecoder::Reset() {
  keys_.clear();
  ClearSequence();
  state_ = State::kGround;
}

int KeyDecoder::TakeKey() {
  if (keys_.empty()) return kNoKey;
  int key = keys_.front();
  keys_.pop_front();
  return key;
}

void KeyDecoder::Deliver(int key) {
  if (key != kNoKey) keys_.push_back(key);
}

void KeyDecoder::ClearSequence() {
  for (int& parameter : parameters_) parameter = 0;
  parameter_count_ = 0;
  parameter_started_ = false;
  private_marker_ = false;
  intermediate_ = false;
  sequence_length_ = 0;
}

void KeyDecoder::Expire(std::int64_t now_ms) {
  if (state_ == State::kGround || now_ms < Deadline()) return;
  // Only a lone Escape means something; a cut-off sequence is dropped.
  if (state_ == State::kEscape) Deliver(kKeyEscape);
  state_ = State::kGround;
  ClearSequence();
}

void KeyDecoder::GroundByte(unsigned char byte) {
  if (byte == 0x1B) {
    state_ = State::kEscape;
    ClearSequence();
    return;
  }
  if (byte < 0x80) {
    Deliver(Control(byte));
    return;
  }
  // UTF-8: codes from 128 up are keys of their own, so characters beyond
  // ASCII are swallowed whole rather than read as cursor or function keys.
  if (byte >= 0xC2 && byte <= 0xDF) {
    utf8_remaining_ = 1;
  } else if (byte >= 0xE0 && byte <= 0xEF) {
    utf8_remaining_ = 2;
  } else if (byte >= 0xF0 && byte <= 0xF4) {
    utf8_remaining_ = 3;
  } else {
    return;  // a stray continuation or an invalid byte
  }
  state_ = State::kUtf8;
}

void KeyDecoder::Feed(unsigned char byte, std::int64_t now_ms) {
  Expire(now_ms);
  last_byte_ms_ = now_ms;
  switch (state_) {
    case State::kGround:
      GroundByte(byte);
      return;

    case State::kUtf8:
      if ((byte & 0xC0) == 0x80) {
        if (--utf8_remaining_ == 0) state_ = State::kGround;
        return;
      }
      state_ = State::kGround;
      GroundByte(byte);
      return;

    case State::kEscape:
      if (byte == '[') {
        state_ = State::kCsi;
      } else if (byte == 'O') {
        state_ = State::kSs3;
      } else if (byte == 0x1B) {
        Deliver(kKeyEscape);  // the first of two Escapes stood alone
      } else {
        state_ = State::kGround;  // Alt with a key: no code for it
      }
      return;

    case State::kLinuxFunction:
      // The Linux console's F1..F5: ESC [ [ A..E.
      if (byte >= 'A' && byte <= 'E') Deliver(kKeyF1 + (byte - 'A'));
      state_ = State::kGround;
      return;

    case State::kCsi:
    case State::kSs3:
      break;
  }

  // Inside CSI or SS3.
  if (++sequence_length_ > kMaxSequenceLength) {
    state_ = State::kGround;
    ClearSequence();
    return;
  }
  if (state_ == State::kCsi && byte == '[' && sequence_length_ == 1) {
    state_ = State::kLinuxFunction;
    return;
  }
  if (byte >= '0' && byte <= '9') {
    if (parameter_count_ == 0) parameter_count_ = 1;
    int& value = parameters_[parameter_count_ - 1];
    value = value * 10 + (byte - '0');
    if (value > kMaxParameterValue) value = kMaxParameterValue;
    parameter_started_ = true;
    return;
  }
  if (byte == ';' || byte == ':') {
    if (parameter_count_ == 0) parameter_count_ = 1;
    if (parameter_count_ < kMaxParameters) {
      ++parameter_count_;
    } else {
      intermediate_ = true;  // more parameters than any key has
    }
    return;
  }
  if (byte >= '<' && byte <= '?') {
    if (sequence_length_ == 1) {
      private_marker_ = true;
    } else {
      intermediate_ = true;
    }
    return;
  }
  bool rxvt_shift = state_ == State::kCsi && byte == '$' && parameter_started_;
  if (byte >= 0x20 && byte <= 0x2F && !rxvt_shift) {
    intermediate_ = true;
    return;
  }
  if ((byte >= 0x40 && byte <= 0x7E) || rxvt_shift) {
    if (state_ == State::kCsi) {
      FinishCsi(byte);
    } else {
      FinishSs3(byte);
    }
    state_ = State::kGround;
    ClearSequence();
    return;
  }
  // A control byte breaks the sequence off; it counts on its own.
  state_ = State::kGround;
  ClearSequence();
  GroundByte(byte);
}

void KeyDecoder::FinishCsi(unsigned char final_byte) {
  if (private_marker_ || intermediate_) return;
  int modifiers = parameter_count_ >= 2 ? ModifierBits(parameters_[1]) : 0;
  if (final_byte == '~') {
    if (parameters_[0] == 27 && parameter_count_ >= 3) {
      // xterm's modifyOtherKeys: CSI 27 ; modifiers ; code ~
      DeliverModifiedKey(parameters_[2], ModifierBits(parameters_[1]));
    } else if (modifiers == 0) {
      Deliver(TildeKey(parameters_[0]));
    } else if (modifiers == kCtrl && IsEndNumber(parameters_[0])) {
      Deliver(kKeyCtrlEnd);  // CSI 4;5~ and CSI 8;5~
    }
    return;
  }
  if (final_byte == '^') {
    // rxvt's Ctrl forms of the "~" keys.
    if (parameter_count_ == 1 && IsEndNumber(parameters_[0])) Deliver(kKeyCtrlEnd);
    return;
  }
  if (final_byte == 'u') {
    // CSI code ; modifiers u (kitty, tmux extended keys, foot)
    DeliverModifiedKey(parameters_[0], modifiers);
    return;
  }
  if (final_byte == 'F' && IsCtrlOnly(modifiers, parameter_count_, parameters_[0])) {
    Deliver(kKeyCtrlEnd);  // CSI 1;5F (xterm, tmux), CSI 5F (older xterm)
    return;
  }
  // Arrows, Home, End and F1..F4; "CSI 1 ; 5 A" and the like are modified keys.
  bool plain = parameter_count_ <= 1 || modifiers == 0;
  if (plain && parameters_[0] <= 1) Deliver(CursorKey(final_byte));
}

void KeyDecoder::FinishSs3(unsigned char final_byte) {
  // "ESC O 5 P" and "ESC O 1 ; 5 P" are modified keys.
  int last = parameter_count_ > 0 ? parameters_[parameter_count_ - 1] : 0;
  if (private_marker_ || intermediate_) return;
  if (final_byte == 'F' && ModifierBits(last) == kCtrl) {
    Deliver(kKeyCtrlEnd);  // ESC O 5 F and ESC O 1;5F
    return;
  }
  if (last > 1) return;
  int key = CursorKey(final_byte);
  if (key == kNoKey) key = KeypadKey(final_byte);
  Deliver(key);
}

void KeyDecoder::DeliverModifiedKey(int code, int modifiers) {
  bool ctrl = (modifiers & kCtrl) != 0;
  bool alt = (modifiers & kAlt) != 0;
  if (alt) return;  // Alt combinations have no code
  switch (code) {
    case 13:
      Deliver(ctrl ? kKeyCtrlEnter : kKeyEnter);
      return;
    case 27:
      if (!ctrl) Deliver(kKeyEscape);
      return;
    case 9:
      if (!ctrl && (modifiers & kShift) == 0) Deliver(9);
      return;
    case 8:
    case 127:
      if (!ctrl) Deliver(kKeyBackspace);
      return;
    default:
      break;
  }
  if (code < 0x20 || code > 0x7E) return;
  if (!ctrl) {
    Deliver(code);
    return;
  }
  if (code >= 'a' && code <= 'z') code -= 'a' - 'A';
  if (code >= '@' && code <= '_') Deliver(Control(static_cast<unsigned char>(code & 0x1F)));
}

}  // namespace console
