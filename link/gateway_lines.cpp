// The byte side of a Gateway link: commands go out as they are, and replies
// come back as lines of text, each ended by a control character.
#include "link/frame_pool.h"
#include "link/protocols.h"

namespace linklib {
namespace {

constexpr uint8_t kRxBetweenLines = 0;
constexpr uint8_t kRxInLine = 6;
constexpr uint8_t kRxDroppingRest = 7;  // a line cut at the frame's room
constexpr uint16_t kLineRoom = 263;

bool IsControl(uint8_t character) { return character < 0x20; }

void FinishLine(LinkHandle* h) {
  FrameBuffer* frame = h->rx_frame;
  h->rx_frame = nullptr;
  frame->length = kLineRoom - h->rx_room;
  AppendFrame(h->rx_queue, frame);
}

}  // namespace

uint16_t GatewayNextByte(LinkHandle* h) {
  for (;;) {
    if (!h->tx_frame) {
      h->tx_frame = TakeFrame(h->tx_queue);
      if (!h->tx_frame) return kNothingToSend;
      h->tx_cursor = h->tx_frame->data;
      h->tx_left = h->tx_frame->length <= sizeof(h->tx_frame->data) ? h->tx_frame->length
                                                                    : sizeof(h->tx_frame->data);
    }
    if (h->tx_left == 0) {  // done (or empty): the next queued frame follows at once
      ReturnToPool(h->tx_frame);
      h->tx_frame = nullptr;
      continue;
    }
    uint8_t byte = *h->tx_cursor++;
    if (--h->tx_left == 0) {
      ReturnToPool(h->tx_frame);
      h->tx_frame = nullptr;
    }
    return byte;
  }
}

void GatewayReceiveByte(LinkHandle* h, uint8_t byte) {
  byte &= 0x7F;
  if (h->rx_state == kRxBetweenLines) {
    h->rx_frame = h->reply_expected.load() != 0 ? TakePoolFrame() : nullptr;
    h->rx_cursor = h->rx_frame ? h->rx_frame->data : nullptr;
    h->rx_room = kLineRoom;
    h->rx_state = kRxInLine;
  }
  if (h->rx_state == kRxDroppingRest || !h->rx_frame) {
    // The rest of a cut line, or a line nobody waits for.
    if (IsControl(byte)) h->rx_state = kRxBetweenLines;
    return;
  }
  if (h->rx_room == 0) {
    // The line is longer than a frame: the frame ends here, the rest is dropped.
    FinishLine(h);
    h->rx_state = IsControl(byte) ? kRxBetweenLines : kRxDroppingRest;
    return;
  }
  *h->rx_cursor++ = byte;
  --h->rx_room;
  if (IsControl(byte)) {
    FinishLine(h);
    h->rx_state = kRxBetweenLines;
  }
}

}  // namespace linklib
