// Gateway links: register requests as lines of the Gateway's command language
// ("A" announces the route, "R" reads, "W" writes), forwarded by the device
// along the announced route.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "link/frame_pool.h"
#include "link/link_messages.h"
#include "link/protocols.h"
#include "link/reply_wait.h"
#include "link/serial_port.h"

namespace linklib {
namespace {

constexpr uint16_t kNoRouteAnnounced = 0xFFFF;
constexpr uint32_t kLastGatewayRegister = 8192;
constexpr size_t kCommandFrameRoom = 263;
// "W 8192" and 128 values of up to " 65535", then CR.
constexpr size_t kLongestCommand = 8 + 128 * 6 + 2;

constexpr size_t RouteDrops(const Route& route) { return route.count < 8 ? route.count : 8; }

bool SameRoute(const Route& a, const Route& b) {
  if (a.count != b.count) return false;
  for (size_t i = 0; i < RouteDrops(a); ++i)
    if (a.drops[i] != b.drops[i]) return false;
  return true;
}

void ForgetRoute(LinkHandle* h) { h->gateway_route_sent.count = kNoRouteAnnounced; }

bool IsAcknowledge(const FrameBuffer& frame) { return frame.length == 1 && frame.data[0] == '\r'; }

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// A command line built in bounded steps.
struct CommandText {
  char text[kLongestCommand] = {};
  size_t length = 0;

  void Append(const char* format, unsigned value) {
    if (length >= sizeof(text)) return;
    int n = std::snprintf(text + length, sizeof(text) - length, format, value);
    if (n > 0) length = std::min(sizeof(text) - 1, length + static_cast<size_t>(n));
  }
  void Append(const char* literal) {
    size_t n = std::strlen(literal);
    if (length + n < sizeof(text)) {
      std::memcpy(text + length, literal, n);
      length += n;
    }
  }
};

// Queues a command line for sending, starting in `frame`. A line longer than
// one frame continues in further pool buffers, which the transmitter sends
// back to back. Fails (buffers returned) on a pool shortage.
bool SendCommand(LinkHandle* h, FrameBuffer* frame, const CommandText& command) {
  // Lines left over from an earlier exchange (the LF of a CR LF, a late
  // reply) must neither answer this command nor hold pool buffers.
  DrainReplies(h);
  FrameBuffer* frames[kLongestCommand / kCommandFrameRoom + 1] = {frame};
  size_t needed = (command.length + kCommandFrameRoom - 1) / kCommandFrameRoom;
  if (needed == 0) needed = 1;
  for (size_t i = 1; i < needed; ++i) {
    frames[i] = TakeRequestFrame(h);
    if (!frames[i]) {
      for (size_t j = 0; j < i; ++j) ReturnToPool(frames[j]);
      return false;
    }
  }
  size_t offset = 0;
  for (size_t i = 0; i < needed; ++i) {
    size_t part = std::min(kCommandFrameRoom, command.length - offset);
    std::memcpy(frames[i]->data, command.text + offset, part);
    frames[i]->length = static_cast<uint16_t>(part);
    offset += part;
  }
  for (size_t i = 0; i < needed; ++i) SendFrame(h, frames[i]);
  return true;
}

// Waits for a lone CR; any other line is dropped and the wait goes on (for W
// the announced route is then forgotten). The wait as a whole is bounded by
// the reply time-out counted from the command: lines that are not the
// acknowledgement, however many and however fast, never extend it.
bool WaitForAcknowledge(LinkHandle* h, bool forget_route_on_other_lines) {
  using Clock = std::chrono::steady_clock;
  constexpr auto kPoll = std::chrono::milliseconds(10);
  Clock::time_point give_up = Clock::now() + h->reply_timeout * kPoll;
  for (;;) {
    auto left = give_up - Clock::now();
    if (left <= Clock::duration::zero()) return false;
    // The polls left, the last one counted whole.
    uint32_t polls = static_cast<uint32_t>((left + kPoll - Clock::duration(1)) / kPoll);
    FrameBuffer* reply = WaitForReply(h, polls);
    if (!reply) return false;
    bool acknowledged = IsAcknowledge(*reply);
    ReturnToPool(reply);
    if (acknowledged) return true;
    if (forget_route_on_other_lines) ForgetRoute(h);
  }
}

// Announces the handle's route unless it was the last one announced. `frame`
// is the buffer the caller took; afterwards it is the buffer for the command
// that follows (null on failure, with the message set).
bool AnnounceRoute(LinkHandle* h, FrameBuffer*& frame) {
  if (SameRoute(h->route, h->gateway_route_sent)) return true;
  h->gateway_route_sent = h->route;
  CommandText command;
  command.Append("A");
  for (size_t i = 0; i < RouteDrops(h->route); ++i) command.Append(" %u", h->route.drops[i]);
  command.Append("\r");
  h->reply_expected.store(1);
  bool sent = SendCommand(h, frame, command);
  frame = nullptr;
  if (!sent) {
    h->reply_expected.store(0);
    ForgetRoute(h);
    return false;
  }
  SetMessage(h, "No valid reply to A command");
  bool acknowledged = WaitForAcknowledge(h, false);
  h->reply_expected.store(0);
  if (!acknowledged) {
    // The device never confirmed it: announce again next time.
    ForgetRoute(h);
    return false;
  }
  frame = TakeRequestFrame(h);
  return frame != nullptr;
}

// Reads one run of registers with an R command.
int ReadRun(LinkHandle* h, uint32_t first, uint32_t count, uint16_t* words) {
  if (count == 0) return 0;
  if (static_cast<uint64_t>(first) + count - 1 > kLastGatewayRegister) {
    SetMessage(h, "Gateway can't read status portion");
    return 0;
  }
  FrameBuffer* frame = TakeRequestFrame(h);
  if (!frame) return 0;
  if (!AnnounceRoute(h, frame)) return 0;

  CommandText command;
  command.Append("R %u", first);
  command.Append(" %u\r", count);
  h->reply_expected.store(1);
  if (!SendCommand(h, frame, command)) {
    h->reply_expected.store(0);
    return 0;
  }
  SetMessage(h, "No reply to R command");
  FrameBuffer* reply = WaitForReply(h, h->reply_timeout);
  h->reply_expected.store(0);
  if (!reply) {
    ForgetRoute(h);
    return 0;
  }

  uint32_t values = 0;
  const uint8_t* p = reply->data;
  const uint8_t* end = reply->data + std::min<size_t>(reply->length, sizeof(reply->data));
  while (values < count && p < end && IsDigit(*p)) {
    uint16_t value = 0;
    for (; p < end && IsDigit(*p); ++p) value = static_cast<uint16_t>(value * 10 + (*p - '0'));
    words[values++] = value;
    while (p < end && !IsDigit(*p) && *p != '\r') ++p;
  }
  ReturnToPool(reply);
  if (values < count) {
    // Likely an error line from the device: start afresh with its route.
    ForgetRoute(h);
    SetMessage(h, "Read reply too short");
    return 0;
  }
  return static_cast<int>(count);
}

}  // namespace

LinkHandle* OpenGateway(const char* port_name, const Route* route) {
  LinkHandle* h =
      OpenSerialLink(port_name, 0, route, GatewayReceiveByte, GatewayNextByte, kKindGateway);
  if (!h) return nullptr;
  ForgetRoute(h);  // read only by the caller's thread
  return h;
}

int GatewayReadRegisters(LinkHandle* h, uint32_t first, uint32_t count, uint16_t* words) {
  return ReadRun(h, first, count, words);
}

int GatewayWriteRegisters(LinkHandle* h, uint32_t first, uint32_t count, const uint16_t* words) {
  if (count == 0) return 0;
  if (static_cast<uint64_t>(first) + count - 1 >= kLastGatewayRegister + 1) {
    SetMessage(h, "Gateway can't write status portion");
    return 0;
  }
  FrameBuffer* frame = TakeRequestFrame(h);
  if (!frame) return 0;
  if (!AnnounceRoute(h, frame)) return 0;

  CommandText command;
  command.Append("W %u", first);
  for (uint32_t i = 0; i < count; ++i) command.Append(" %u", words[i]);
  command.Append("\r");
  h->reply_expected.store(1);
  if (!SendCommand(h, frame, command)) {
    h->reply_expected.store(0);
    return 0;
  }
  SetMessage(h, "No valid reply to W command");
  bool acknowledged = WaitForAcknowledge(h, true);
  h->reply_expected.store(0);
  if (!acknowledged) {
    ForgetRoute(h);
    return 0;
  }
  return static_cast<int>(count);
}

int GatewayRandomRead(LinkHandle* h, const uint32_t* registers, uint32_t count, uint16_t* words) {
  if (count == 0) return 0;
  uint32_t start = 0;
  while (start < count) {
    uint32_t length = 1;
    while (start + length < count && static_cast<uint64_t>(registers[start + length]) ==
                                         static_cast<uint64_t>(registers[start + length - 1]) + 1)
      ++length;
    if (!ReadRun(h, registers[start], length, words + start)) return 0;
    start += length;
  }
  return static_cast<int>(count);
}

}  // namespace linklib
