// The Sy/Max transmit state machine: asked for one byte at a time by the
// transmit pump. Control pairs that are due (responses, busy, enquiries, the
// second DLE of a doubled data byte) go out first, except between a DLE and
// the byte that must follow it. After a frame it keeps the line busy with
// fillers and enquiry rounds until the frame is acknowledged or given up.
#include "link/protocols.h"
#include "link/symax_protocol.h"

namespace linklib {

using namespace symax;

namespace {

bool CrcOn(const LinkHandle* h) { return (h->link_flags & kFlagCrc) != 0; }

void AddToCheck(LinkHandle* h, uint8_t byte) {
  h->tx_check = CheckStep(h->tx_check, byte, CrcOn(h));
}

// Serves the first control byte that is due; kNothingToSend when none is.
uint16_t NextDueControlByte(LinkHandle* h) {
  uint16_t& flags = h->link_flags;
  if (flags & kDueEnq) {
    flags &= ~kDueEnq;
    return kEnq;
  }
  if (flags & kDueDoubledDle) {
    flags &= ~kDueDoubledDle;
    return kDle;
  }
  if (flags & kDueResponseChar) {
    flags &= ~kDueResponseChar;
    return h->response_char;
  }
  if (flags & kDueSyn) {
    flags &= ~kDueSyn;
    return kSyn;
  }
  if (flags & kDueResponse) {
    flags = static_cast<uint16_t>((flags & ~kDueResponse) | kDueResponseChar);
    return kDle;
  }
  if (flags & kDueBusy) {
    flags = static_cast<uint16_t>((flags & ~kDueBusy) | kDueSyn);
    return kDle;
  }
  return kNothingToSend;
}

void DropCurrentFrame(LinkHandle* h) {
  if (h->tx_frame) ReturnToPool(h->tx_frame);
  h->tx_frame = nullptr;
  h->tx_state = kTxIdle;
}

uint8_t StartFrame(LinkHandle* h) {
  h->tx_check = CheckStart(CrcOn(h));
  h->link_flags |= kPartnerFollows;
  h->tx_state = kTxSoh;
  return kDle;
}

// The next byte of the route characters; the end of the buffer's address
// area counts as the end of the route, so a damaged route cannot overrun.
uint8_t NextRouteCharacter(LinkHandle* h) {
  uint8_t* end = h->tx_frame->address + sizeof(h->tx_frame->address);
  if (h->tx_cursor >= end) return kRouteEnd;
  return *h->tx_cursor++;
}

}  // namespace

uint16_t SymaxNextByte(LinkHandle* h) {
  if (h->link_flags & kPartnerFollows) {
    h->link_flags &= ~kPartnerFollows;
  } else {
    uint16_t due = NextDueControlByte(h);
    if (due != kNothingToSend) return due;
  }

  for (;;) {
    // Every state past the first two works on a frame; without one, start over.
    if (h->tx_state > kTxRetransmit && !h->tx_frame) h->tx_state = kTxIdle;
    switch (h->tx_state) {
      case kTxIdle:
        h->tx_frame = TakeFrame(h->tx_queue);
        if (!h->tx_frame) return kNothingToSend;
        h->retries_left = kTransmitRetries;
        return StartFrame(h);
      case kTxRetransmit:
        if (!h->tx_frame) {
          h->tx_state = kTxIdle;
          continue;
        }
        return StartFrame(h);
      case kTxSoh:
        h->tx_state = kTxSequence;
        return kSoh;
      case kTxSequence:
        AddToCheck(h, h->tx_seq);
        h->tx_cursor = h->tx_frame->address;
        h->tx_state = kTxRoute;
        return h->tx_seq;
      case kTxRoute: {
        uint8_t c = NextRouteCharacter(h);
        if (c == kRouteEnd) {
          AddToCheck(h, kDle);
          h->link_flags |= kPartnerFollows;
          h->tx_state = kTxStx;
          return kDle;
        }
        AddToCheck(h, c);
        return c;
      }
      case kTxStx:
        AddToCheck(h, kStx);
        h->tx_cursor = h->tx_frame->data;
        h->tx_left = h->tx_frame->length < kMaxDataBytes ? h->tx_frame->length : kMaxDataBytes;
        h->tx_state = kTxData;
        return kStx;
      case kTxData: {
        if (h->tx_left == 0) {
          AddToCheck(h, kDle);
          h->link_flags |= kPartnerFollows;
          h->tx_state = kTxEtx;
          return kDle;
        }
        uint8_t b = *h->tx_cursor++;
        --h->tx_left;
        if (b == kDle) {
          h->link_flags |= kDueDoubledDle;
          AddToCheck(h, kDle);
        }
        AddToCheck(h, b);
        return b;
      }
      case kTxEtx:
        AddToCheck(h, kEtx);
        h->link_flags |= kPartnerFollows;
        h->tx_state = CrcOn(h) ? kTxCheckHigh : kTxCheckLow;
        return kEtx;
      case kTxCheckHigh:
        h->link_flags |= kPartnerFollows;
        h->tx_state = kTxCheckLow;
        return static_cast<uint8_t>(h->tx_check >> 8);
      case kTxCheckLow:
        h->enq_left = kEnquiryRounds;
        h->tx_left = kFillersPerRound;
        h->tx_state = kTxAwaitAck;
        return static_cast<uint8_t>(h->tx_check & 0xFF);
      case kTxAwaitAck:
        if (h->tx_left != 0) {
          --h->tx_left;
          return kFiller;
        }
        if (h->enq_left != 0) {
          --h->enq_left;
          h->tx_left = kFillersPerRound;
          h->link_flags |= kDueEnq;
          return kDle;
        }
        DropCurrentFrame(h);  // never acknowledged: given up
        continue;
      default:
        DropCurrentFrame(h);
        continue;
    }
  }
}

}  // namespace linklib
