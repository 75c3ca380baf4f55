// The Sy/Max receiver: control pairs (acknowledgements, NAK, busy, enquiry)
// are acted on as they arrive, even in the middle of a frame; frame bytes go
// through the receive state machine, which checks the frame, queues it when it
// answers the outstanding request and has it acknowledged or rejected.
#include "link/protocols.h"
#include "link/serial_port.h"
#include "link/symax_protocol.h"

namespace linklib {

using namespace symax;

namespace {

bool CrcOn(const LinkHandle* h) { return (h->link_flags & kFlagCrc) != 0; }

void AddToCheck(LinkHandle* h, uint8_t byte) {
  h->rx_check = CheckStep(h->rx_check, byte, CrcOn(h));
}

void QueueResponse(LinkHandle* h) {
  h->link_flags |= kDueResponse;
  KickTransmitter(h);
}

// A bad frame: it is dropped and DLE NAK goes out.
void FrameError(LinkHandle* h) {
  h->response_char = kNak;
  if (h->rx_frame) ReturnToPool(h->rx_frame);
  h->rx_frame = nullptr;
  h->rx_state = kRxIdle;
  QueueResponse(h);
}

// A good frame is acknowledged with its own sequence character; it is kept
// only when it answers the request now outstanding.
void AcceptFrame(LinkHandle* h) {
  FrameBuffer* frame = h->rx_frame;
  h->rx_frame = nullptr;
  frame->length = static_cast<uint16_t>(kMaxDataBytes - h->rx_room);
  if (frame->length >= 2 && frame->data[1] == h->expected_transnum)
    AppendFrame(h->rx_queue, frame);
  else
    ReturnToPool(frame);
  h->response_char = h->rx_seq;
  h->rx_state = kRxIdle;
  QueueResponse(h);
}

void StoreByte(LinkHandle* h, uint8_t byte) {
  *h->rx_cursor++ = byte;
  --h->rx_room;
}

void ReceiveFrameByte(LinkHandle* h, uint8_t byte) {
  bool after_dle = (h->rx_flags & kRxAfterDle) != 0;
  h->rx_flags &= ~kRxAfterDle;
  if (h->rx_state != kRxIdle && !h->rx_frame) {
    h->rx_state = kRxIdle;  // no frame to fill: start over
  }
  switch (h->rx_state) {
    case kRxIdle:
      if (!(after_dle && byte == kSoh)) return;  // fillers and noise between frames
      h->rx_frame = TakePoolFrame();
      if (!h->rx_frame) {
        h->link_flags |= kDueBusy;
        KickTransmitter(h);
        return;
      }
      h->rx_check = CheckStart(CrcOn(h));
      h->rx_state = kRxSequence;
      return;
    case kRxSequence:
      if (byte != kDc1 && byte != kDc2) return FrameError(h);
      h->rx_seq = byte;
      AddToCheck(h, byte);
      h->rx_cursor = h->rx_frame->address;
      h->rx_room = kRouteRoom;
      h->rx_state = kRxRoute;
      return;
    case kRxRoute:
      if (after_dle) {
        if (byte != kStx) return FrameError(h);
        AddToCheck(h, kDle);
        AddToCheck(h, kStx);
        h->rx_cursor[0] = kRouteEnd;
        h->rx_cursor[1] = kRouteEnd;
        h->rx_cursor = h->rx_frame->data;
        h->rx_room = kMaxDataBytes;
        h->rx_state = kRxData;
        return;
      }
      if (h->rx_room == 0) return FrameError(h);
      StoreByte(h, byte);
      AddToCheck(h, byte);
      return;
    case kRxData:
      if (after_dle && byte == kEtx) {
        AddToCheck(h, kDle);
        AddToCheck(h, kEtx);
        h->rx_flags |= kRxCheckByte;
        h->rx_state = CrcOn(h) ? kRxCheckHigh : kRxCheckLow;
        return;
      }
      if (h->rx_room == 0) return FrameError(h);
      if (after_dle) {
        if (byte != kDle) return FrameError(h);
        AddToCheck(h, kDle);  // the doubled DLE counts twice
      }
      AddToCheck(h, byte);
      StoreByte(h, byte);
      return;
    case kRxCheckHigh:
      if (byte != static_cast<uint8_t>(h->rx_check >> 8)) return FrameError(h);
      h->rx_flags |= kRxCheckByte;
      h->rx_state = kRxCheckLow;
      return;
    case kRxCheckLow:
      if (byte != static_cast<uint8_t>(h->rx_check & 0xFF)) return FrameError(h);
      AcceptFrame(h);
      return;
    default:
      FrameError(h);
      return;
  }
}

// A DLE NAK, or a wrong acknowledgement: the frame goes out again while
// retries last, then it is given up.
void RejectedByPeer(LinkHandle* h) {
  if (h->tx_state == kTxIdle) return;
  if (h->retries_left != 0) {
    --h->retries_left;
    h->tx_state = kTxRetransmit;
  } else {
    if (h->tx_frame) ReturnToPool(h->tx_frame);
    h->tx_frame = nullptr;
    h->tx_state = kTxIdle;
  }
  KickTransmitter(h);
}

void Acknowledged(LinkHandle* h, uint8_t sequence) {
  if (h->tx_state != kTxAwaitAck) return;
  if (sequence != h->tx_seq) return RejectedByPeer(h);
  if (h->tx_frame) ReturnToPool(h->tx_frame);
  h->tx_frame = nullptr;
  h->tx_state = kTxIdle;
  h->tx_seq = h->tx_seq == kDc2 ? kDc1 : kDc2;
  KickTransmitter(h);
}

}  // namespace

void SymaxReceiveByte(LinkHandle* h, uint8_t byte) {
  if (h->rx_flags & kRxAfterDle) {
    h->rx_flags &= ~kRxAfterDle;
    switch (byte) {
      case kSoh:
        if (h->rx_state != kRxIdle && h->rx_frame) {
          ReturnToPool(h->rx_frame);  // a new frame cuts the unfinished one
          h->rx_frame = nullptr;
        }
        h->rx_state = kRxIdle;
        break;
      case kEnq:
        QueueResponse(h);  // the last response once more
        return;
      case kDc1:
      case kDc2:
        Acknowledged(h, byte);
        return;
      case kSyn:
        h->retries_left = kTransmitRetries;
        if (h->tx_state != kTxAwaitAck) return;
        RejectedByPeer(h);
        return;
      case kNak:
        RejectedByPeer(h);
        return;
      default:
        break;
    }
    h->rx_flags |= kRxAfterDle;
    ReceiveFrameByte(h, byte);
    return;
  }
  if (h->rx_flags & kRxCheckByte) {
    h->rx_flags &= ~kRxCheckByte;
    ReceiveFrameByte(h, byte);
    return;
  }
  if (byte == kDle) {
    h->rx_flags |= kRxAfterDle;
    return;
  }
  ReceiveFrameByte(h, byte);
}

}  // namespace linklib
