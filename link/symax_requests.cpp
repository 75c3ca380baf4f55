// The Sy/Max register requests: read, write and random read, with the
// priority forms of read and write, and the checks of their replies.
#include <mutex>

#include "link/link_messages.h"
#include "link/protocols.h"
#include "link/reply_wait.h"
#include "link/symax_protocol.h"

namespace linklib {

using namespace symax;

namespace {

constexpr uint8_t kOpRead = 0x00;
constexpr uint8_t kOpWrite = 0x02;
constexpr uint8_t kOpRandomRead = 0x04;
constexpr uint8_t kOpPriorityWrite = 0x1E;
constexpr uint8_t kOpPriorityRead = 0x20;
constexpr uint8_t kReplyWrite = 0x80;
constexpr uint8_t kReplyRead = 0x86;
constexpr uint8_t kReplyRandomRead = 0x8A;
constexpr uint8_t kReplyPriorityRead = 0x90;
constexpr uint8_t kReplyPriorityWrite = 0x92;
constexpr uint8_t kReplyError = 0xA2;

// Builds the data part of a request frame byte by byte.
class FrameWriter {
 public:
  explicit FrameWriter(FrameBuffer* frame) : frame_(frame) { frame_->length = 0; }
  void Byte(uint8_t b) {
    if (frame_->length < kMaxDataBytes) frame_->data[frame_->length++] = b;
  }
  void Word(uint16_t w) {
    Byte(static_cast<uint8_t>(w >> 8));
    Byte(static_cast<uint8_t>(w & 0xFF));
  }

 private:
  FrameBuffer* frame_;
};

// Registers travel as byte addresses: register r is at 2 x (r - 1).
uint16_t ByteAddress(uint32_t reg) { return static_cast<uint16_t>(2 * (reg - 1)); }

uint16_t WordAt(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

// Common start of every request: stale replies are dropped and a buffer is
// taken; the transaction number comes from the handle's counter (0..63 in
// the priority forms).
FrameBuffer* BeginRequest(LinkHandle* h, bool priority_form, uint8_t* transnum) {
  DrainReplies(h);
  FrameBuffer* frame = TakeRequestFrame(h);
  if (!frame) return nullptr;
  uint8_t t = h->transnum_counter++;
  if (priority_form) t %= 64;
  *transnum = t;
  return frame;
}

// Addresses the frame along the handle's route and hands it to the
// transmitter; from here on a reply carrying `transnum` is the one awaited.
void SendRequest(LinkHandle* h, FrameBuffer* frame, uint8_t transnum) {
  if (h->net_to_net) h->route.drops[0] |= 0x8000;
  EncodeRoute(h->route, frame->address);
  {
    // The receiver reads these on the worker's thread.
    std::lock_guard<std::recursive_mutex> guard(h->pump_lock);
    h->mode = 1;
    h->expected_transnum = transnum;
  }
  h->reply_expected = 1;
  SendFrame(h, frame);
}

// Ends a request: the reply goes back to the pool.
int FinishRequest(LinkHandle* h, FrameBuffer* reply, int result) {
  if (reply) ReturnToPool(reply);
  h->reply_expected = 0;
  return result;
}

// Copies the words of a reply, at most `count` of them. A reply that carries
// fewer words than asked for copies nothing: its caller would otherwise take
// stale values for register contents.
int CopyWords(const FrameBuffer* reply, unsigned offset, uint32_t count, uint16_t* words) {
  if (reply->length < offset || (reply->length - offset) / 2 < count) return 0;
  for (uint32_t i = 0; i < count; ++i) words[i] = WordAt(reply->data + offset + 2 * i);
  return static_cast<int>(count);
}

}  // namespace

int SymaxReadRegisters(LinkHandle* h, uint32_t first, uint32_t count, uint16_t* words) {
  bool priority = h->priority != 0;
  uint8_t t = 0;
  FrameBuffer* frame = BeginRequest(h, priority, &t);
  if (!frame) return 0;
  uint16_t address = ByteAddress(first);
  FrameWriter out(frame);
  if (priority) {
    out.Byte(kOpPriorityRead);
    out.Byte(t);
    out.Byte(0);
    out.Byte(0);
    out.Byte(0);
  } else {
    out.Byte(kOpRead);
    out.Byte(t);
  }
  out.Word(address);
  out.Byte(0);
  out.Byte(static_cast<uint8_t>(count - 1));
  SendRequest(h, frame, t);
  SetMessage(h, "Read reply timeout");

  FrameBuffer* reply = WaitForReply(h, h->reply_timeout);
  if (!reply) return FinishRequest(h, nullptr, 0);
  if (!IsValidRoute(reply->address)) {
    SetMessage(h, "Bad Reply Route");
    return FinishRequest(h, reply, 0);
  }
  if (reply->length < 2 || reply->data[1] != t) {
    SetMessage(h, "Bad transnum on reply");
    return FinishRequest(h, reply, 0);
  }
  const uint8_t opcode = reply->data[0];
  int copied = 0;
  if (opcode == kReplyRead) {
    copied = CopyWords(reply, 4, count, words);
  } else if (opcode == kReplyPriorityRead && reply->length >= 5 && reply->data[4] != 0) {
    SetSymaxStatusMessage(h, reply->data[4]);
    return FinishRequest(h, reply, 0);
  } else if (opcode == kReplyPriorityRead) {
    copied = CopyWords(reply, 7, count, words);
  } else if (opcode == kReplyError && reply->length >= 3) {
    SetSymaxStatusMessage(h, reply->data[2]);
    return FinishRequest(h, reply, 0);
  } else {
    SetMessageF(h, "Can't deal with Reply Opcode 0x%02X.", opcode);
    return FinishRequest(h, reply, 0);
  }
  if (copied == 0) SetMessage(h, "Read reply invalid");
  return FinishRequest(h, reply, copied);
}

int SymaxWriteRegisters(LinkHandle* h, uint32_t first, uint32_t count, const uint16_t* words) {
  bool priority = h->priority != 0;
  uint8_t t = 0;
  FrameBuffer* frame = BeginRequest(h, priority, &t);
  if (!frame) return 0;
  uint16_t address = ByteAddress(first);
  FrameWriter out(frame);
  if (priority) {
    out.Byte(kOpPriorityWrite);
    out.Byte(t);
    out.Byte(0);
  } else {
    out.Byte(kOpWrite);
    out.Byte(t);
  }
  out.Word(address);
  for (uint32_t i = 0; i < count; ++i) out.Word(words[i]);
  if (!priority) out.Word(0xFFFF);
  SendRequest(h, frame, t);
  // Preset so that a wait the callback abandons keeps its own text.
  SetMessage(h, "Write reply timeout");

  FrameBuffer* reply = WaitForReply(h, h->reply_timeout);
  if (!reply) return FinishRequest(h, nullptr, 0);
  if (!IsValidRoute(reply->address) || reply->length < 2 || reply->data[1] != t) {
    SetMessage(h, "Write reply invalid");
    return FinishRequest(h, reply, 0);
  }
  const uint8_t opcode = reply->data[0];
  if (opcode == kReplyWrite) return FinishRequest(h, reply, static_cast<int>(count));
  if (opcode == kReplyPriorityWrite && reply->length >= 5) {
    if (reply->data[4] == 0) return FinishRequest(h, reply, static_cast<int>(count));
    SetSymaxStatusMessage(h, reply->data[4]);
    return FinishRequest(h, reply, 0);
  }
  if (opcode == kReplyError && reply->length >= 3) {
    SetSymaxStatusMessage(h, reply->data[2]);
    return FinishRequest(h, reply, 0);
  }
  SetMessage(h, "Write reply invalid");
  return FinishRequest(h, reply, 0);
}

int SymaxRandomRead(LinkHandle* h, const uint32_t* registers, uint32_t count, uint16_t* words) {
  uint8_t t = 0;
  FrameBuffer* frame = BeginRequest(h, false, &t);
  if (!frame) return 0;
  FrameWriter out(frame);
  out.Byte(kOpRandomRead);
  out.Byte(t);
  // Register numbers outside 1..32768 have no byte address of their own;
  // they wrap as the 16-bit address does.
  for (uint32_t i = 0; i < count; ++i) out.Word(ByteAddress(registers[i]));
  SendRequest(h, frame, t);
  SetMessage(h, "Read reply timeout");

  FrameBuffer* reply = WaitForReply(h, h->reply_timeout);
  if (!reply) return FinishRequest(h, nullptr, 0);
  if (!IsValidRoute(reply->address) || reply->length < 2 || reply->data[1] != t) {
    SetMessage(h, "Read reply invalid");
    return FinishRequest(h, reply, 0);
  }
  const uint8_t opcode = reply->data[0];
  if (opcode == kReplyRandomRead) {
    int copied = CopyWords(reply, 2, count, words);
    if (copied == 0) SetMessage(h, "Read reply invalid");
    return FinishRequest(h, reply, copied);
  }
  if (opcode == kReplyError && reply->length >= 3) {
    SetSymaxStatusMessage(h, reply->data[2]);
    return FinishRequest(h, reply, 0);
  }
  SetMessage(h, "Read reply invalid");
  return FinishRequest(h, reply, 0);
}

}  // namespace linklib
