#include "kxtsim/symax_slave.h"

#include <cstdio>

#include "kxtsim/symax_requests.h"

namespace kxtsim {
namespace {

constexpr uint8_t kDle = 0x10;
constexpr uint8_t kSoh = 0x01;
constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;
constexpr uint8_t kEnq = 0x05;
constexpr uint8_t kDc1 = 0x11;
constexpr uint8_t kDc2 = 0x12;
constexpr uint8_t kNak = 0x15;
constexpr uint8_t kSyn = 0x16;
constexpr uint8_t kFiller = 0xFE;
constexpr size_t kMaxRouteCharacters = 16;
constexpr size_t kMaxDataBytes = 263;
constexpr int kRetransmissions = 8;
constexpr int kFillersPerRound = 10;

int HexValue(uint8_t character) {
  character &= 0x7F;
  if (character >= '0' && character <= '9') return character - '0';
  if (character >= 'A' && character <= 'F') return character - 'A' + 10;
  if (character >= 'a' && character <= 'f') return character - 'a' + 10;
  return -1;
}

uint8_t HexDigit(int value) {
  return static_cast<uint8_t>(value < 10 ? '0' + value : 'A' + value - 10);
}

bool RouteValid(const std::vector<uint8_t>& route) {
  if (route.size() % 2 != 0) return false;
  for (uint8_t character : route) {
    if (HexValue(character) < 0) return false;
  }
  return true;
}

// The drops in reverse order; the Net-to-Net mark stays on the first character.
std::vector<uint8_t> ReversedRoute(const std::vector<uint8_t>& route) {
  std::vector<uint8_t> reversed;
  for (size_t drop = route.size() / 2; drop-- > 0;) {
    int value = HexValue(route[2 * drop]) * 16 + HexValue(route[2 * drop + 1]);
    reversed.push_back(HexDigit(value >> 4));
    reversed.push_back(HexDigit(value & 0x0F));
  }
  if (!route.empty() && (route[0] & 0x80)) reversed[0] |= 0x80;
  return reversed;
}

}  // namespace

SymaxSlave::SymaxSlave(ModuleModel& model, ReplyFaults& faults, bool crc, RequestLog log)
    : model_(model),
      faults_(faults),
      crc_(crc),
      log_(std::move(log)),
      rx_check_(crc),
      last_response_(kNak),
      tx_sequence_(kDc1) {}

void SymaxSlave::Receive(uint8_t byte, uint64_t now_ms) {
  if (rx_state_ == RxState::Check) {
    rx_check_bytes_.push_back(byte);
    if (static_cast<int>(rx_check_bytes_.size()) == rx_check_.Size()) {
      bool good = true;
      for (int i = 0; i < rx_check_.Size(); ++i) good &= rx_check_bytes_[i] == rx_check_.Byte(i);
      rx_state_ = RxState::Idle;
      if (good) {
        AcceptFrame(now_ms);
      } else {
        RejectFrame();
      }
    }
    return;
  }
  if (after_dle_) {
    after_dle_ = false;
    ControlPair(byte, now_ms);
    return;
  }
  if (byte == kDle) {
    after_dle_ = true;
    return;
  }
  FrameByte(byte);
}

void SymaxSlave::FrameByte(uint8_t byte) {
  switch (rx_state_) {
    case RxState::Idle:
      return;  // fillers and noise between frames
    case RxState::Sequence:
      if (byte != kDc1 && byte != kDc2) return RejectFrame();
      rx_frame_.sequence = byte;
      rx_check_.Add(byte);
      rx_state_ = RxState::Route;
      return;
    case RxState::Route:
      if (rx_frame_.route.size() >= kMaxRouteCharacters) return RejectFrame();
      rx_frame_.route.push_back(byte);
      rx_check_.Add(byte);
      return;
    case RxState::Data:
      if (rx_frame_.data.size() >= kMaxDataBytes) return RejectFrame();
      rx_frame_.data.push_back(byte);
      rx_check_.Add(byte);
      return;
    case RxState::Check:
      return;
  }
}

void SymaxSlave::ControlPair(uint8_t byte, uint64_t now_ms) {
  bool in_frame = rx_state_ != RxState::Idle;
  switch (byte) {
    case kSoh:
      rx_state_ = RxState::Sequence;
      rx_frame_ = Frame{};
      rx_check_ = SymaxCheck(crc_);
      rx_check_bytes_.clear();
      return;
    case kStx:
      if (rx_state_ != RxState::Route) return in_frame ? RejectFrame() : void();
      rx_check_.Add(kDle);
      rx_check_.Add(kStx);
      rx_state_ = RxState::Data;
      return;
    case kEtx:
      if (rx_state_ != RxState::Data) return in_frame ? RejectFrame() : void();
      rx_check_.Add(kDle);
      rx_check_.Add(kEtx);
      rx_state_ = RxState::Check;
      return;
    case kDle:
      // A doubled DLE is one data byte that counts twice in the check.
      if (rx_state_ != RxState::Data) return in_frame ? RejectFrame() : void();
      if (rx_frame_.data.size() >= kMaxDataBytes) return RejectFrame();
      rx_frame_.data.push_back(kDle);
      rx_check_.Add(kDle);
      rx_check_.Add(kDle);
      return;
    case kEnq:
      QueueControl(last_response_);
      return;
    case kDc1:
    case kDc2:
      if (!awaiting_ack_) return;
      if (byte != tx_sequence_) return OnNegativeAcknowledge(false);
      awaiting_ack_ = false;
      reply_.reset();
      tx_sequence_ = tx_sequence_ == kDc1 ? kDc2 : kDc1;
      return;
    case kNak:
      if (awaiting_ack_) OnNegativeAcknowledge(false);
      return;
    case kSyn:
      if (awaiting_ack_) OnNegativeAcknowledge(true);
      return;
    default:
      if (in_frame) RejectFrame();
      (void)now_ms;
      return;
  }
}

void SymaxSlave::RejectFrame() {
  rx_state_ = RxState::Idle;
  last_response_ = kNak;
  QueueControl(kNak);
}

void SymaxSlave::QueueControl(uint8_t byte) {
  control_.push_back(kDle);
  control_.push_back(byte);
}

void SymaxSlave::AcceptFrame(uint64_t now_ms) {
  if (!RouteValid(rx_frame_.route)) return RejectFrame();
  if (faults_.NextFrameAnsweredBusy()) {
    QueueControl(kSyn);
    return;
  }
  last_response_ = rx_frame_.sequence;
  QueueControl(rx_frame_.sequence);
  // A retransmission of the frame whose reply is still on its way (the
  // acknowledgement was lost) is acknowledged again, not served twice.
  if (reply_ && last_accepted_ && *last_accepted_ == rx_frame_) return;
  last_accepted_ = rx_frame_;

  std::string description;
  std::vector<uint8_t> reply_data = ServeSymaxRequest(model_, faults_, rx_frame_.data.data(),
                                                      rx_frame_.data.size(), &description);
  bool dropped = faults_.NextReplyDropped();
  if (log_) {
    char line[160];
    std::snprintf(line, sizeof line, "symax %s%s", description.c_str(),
                  dropped ? " (reply dropped)" : "");
    log_(line);
  }
  if (dropped) return;
  // A new request supersedes a reply still waiting for its acknowledgement.
  reply_ = Frame{tx_sequence_, ReversedRoute(rx_frame_.route), std::move(reply_data)};
  reply_due_ms_ = now_ms + static_cast<uint64_t>(faults_.options().delay_ms);
  transmitting_ = false;
  awaiting_ack_ = false;
  retries_left_ = kRetransmissions;
}

void SymaxSlave::OnNegativeAcknowledge(bool reset_retries) {
  if (reset_retries) retries_left_ = kRetransmissions;
  if (retries_left_ == 0) {
    awaiting_ack_ = false;
    reply_.reset();
    return;
  }
  --retries_left_;
  StartTransmission();
}

void SymaxSlave::StartTransmission() {
  reply_->sequence = tx_sequence_;
  tx_bytes_ = EncodeReply(faults_.NextFrameCorrupted(), tx_pair_starts_);
  tx_position_ = 0;
  transmitting_ = true;
  awaiting_ack_ = false;
}

std::vector<uint8_t> SymaxSlave::EncodeReply(bool corrupt, std::vector<bool>& pair_starts) const {
  std::vector<uint8_t> bytes;
  pair_starts.clear();
  SymaxCheck check(crc_);
  auto put = [&](uint8_t byte, bool starts_pair) {
    bytes.push_back(byte);
    pair_starts.push_back(starts_pair);
  };
  put(kDle, true);
  put(kSoh, false);
  put(reply_->sequence, false);
  check.Add(reply_->sequence);
  for (uint8_t character : reply_->route) {
    put(character, false);
    check.Add(character);
  }
  put(kDle, true);
  put(kStx, false);
  check.Add(kDle);
  check.Add(kStx);
  for (uint8_t byte : reply_->data) {
    if (byte == kDle) {
      put(kDle, true);
      check.Add(kDle);
    }
    put(byte, false);
    check.Add(byte);
  }
  put(kDle, true);
  put(kEtx, false);
  check.Add(kDle);
  check.Add(kEtx);
  for (int i = 0; i < check.Size(); ++i) {
    uint8_t byte = check.Byte(i);
    if (corrupt && i == check.Size() - 1) byte ^= 0x5A;
    put(byte, false);
  }
  return bytes;
}

bool SymaxSlave::NextByte(uint64_t now_ms, uint8_t& byte) {
  // Control pairs go out between the frame's own pairs, never inside one.
  if (!control_.empty() && !mid_pair_) {
    byte = control_.front();
    control_.pop_front();
    return true;
  }
  if (reply_ && !transmitting_ && !awaiting_ack_ && now_ms >= reply_due_ms_) {
    StartTransmission();
  }
  if (transmitting_) {
    byte = tx_bytes_[tx_position_];
    mid_pair_ = tx_pair_starts_[tx_position_];
    if (++tx_position_ == tx_bytes_.size()) {
      transmitting_ = false;
      awaiting_ack_ = true;
      fillers_left_ = kFillersPerRound;
      enquiries_left_ = faults_.options().enquiry_rounds;
    }
    return true;
  }
  mid_pair_ = false;
  if (!control_.empty()) {
    byte = control_.front();
    control_.pop_front();
    return true;
  }
  if (awaiting_ack_) {
    // Fillers keep the line busy while the acknowledgement is awaited; each
    // round of them ends with an enquiry. After the last round the reply is
    // given up.
    if (fillers_left_ > 0) {
      --fillers_left_;
      byte = kFiller;
      return true;
    }
    if (enquiries_left_ > 0) {
      --enquiries_left_;
      fillers_left_ = kFillersPerRound;
      // The ENQ stays first in the control queue, so the next byte sent is
      // the ENQ whatever arrives meanwhile: a reply started by a new request
      // must never follow the lone DLE (DLE DLE SOH hides the frame).
      QueueControl(kEnq);
      byte = control_.front();
      control_.pop_front();
      return true;
    }
    awaiting_ack_ = false;
    reply_.reset();
  }
  return false;
}

std::optional<uint64_t> SymaxSlave::NextOutputTime() const {
  if (reply_ && !transmitting_ && !awaiting_ack_) return reply_due_ms_;
  return std::nullopt;
}

}  // namespace kxtsim
