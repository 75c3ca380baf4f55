// Modbus ASCII framing: ':' then address, data unit and LRC as pairs of
// upper-case hexadecimal digits, then CR LF.
#include <cstring>

#include "link/frame_pool.h"
#include "link/modbus_checks.h"
#include "link/modbus_serial.h"
#include "link/protocols.h"
#include "link/reply_wait.h"

namespace linklib {
namespace {

constexpr uint8_t kTxIdle = 0;
constexpr uint8_t kTxDigits = 12;
constexpr uint8_t kTxLrcLow = 14;
constexpr uint8_t kTxCr = 15;
constexpr uint8_t kTxLf = 16;

bool IsControl(uint8_t character) { return character < 0x20; }

// Ends the frame being received on a control character or a full frame.
void FinishAsciiFrame(LinkHandle* h, uint8_t character) {
  FrameBuffer* frame = h->rx_frame;
  h->rx_frame = nullptr;
  h->rx_state = kModbusRxIdle;
  uint16_t length = kFrameRoom - h->rx_room / 2;
  if (length > 1 && IsControl(character)) {
    if ((h->rx_check & 0xFF) != 0) {
      ReturnToPool(frame);  // LRC error: dropped, the wait runs on
      return;
    }
    frame->address[0] = frame->data[0];
    std::memmove(frame->data, frame->data + 1, length - 1);
    frame->length = length - 2;  // without the address and the LRC
    AppendFrame(h->rx_queue, frame);
    return;
  }
  // Empty, or printable characters past the room of any reply.
  ReturnToPool(frame);
  EndReplyWait();
}

}  // namespace

uint16_t ModbusAsciiNextByte(LinkHandle* h) {
  switch (h->tx_state) {
    case kTxIdle: {
      FrameBuffer* frame = TakeFrame(h->tx_queue);
      if (!frame) return kNothingToSend;
      // The address travels as the first byte of the hexadecimal run.
      uint16_t length =
          frame->length < sizeof(frame->data) ? frame->length : sizeof(frame->data) - 1;
      std::memmove(frame->data + 1, frame->data, length);
      frame->data[0] = frame->address[0];
      frame->length = length + 1;
      h->tx_frame = frame;
      h->tx_cursor = frame->data;
      h->tx_check = 0;
      h->tx_left = 2 * frame->length;
      h->tx_state = kTxDigits;
      return ':';
    }
    case kTxDigits: {
      if (h->tx_left == 0) {
        ReturnToPool(h->tx_frame);
        h->tx_frame = nullptr;
        h->tx_state = kTxLrcLow;
        return HexDigit((h->tx_check & 0xFF) >> 4);
      }
      --h->tx_left;
      uint8_t byte = *h->tx_cursor;
      if (h->tx_left & 1) {
        h->tx_check = static_cast<uint16_t>(h->tx_check - byte);
        return HexDigit(byte >> 4);
      }
      ++h->tx_cursor;
      return HexDigit(byte);
    }
    case kTxLrcLow:
      h->tx_state = kTxCr;
      return HexDigit(h->tx_check);
    case kTxCr:
      h->tx_state = kTxLf;
      return '\r';
    case kTxLf:
      h->tx_state = kTxIdle;
      return '\n';
    default:
      h->tx_state = kTxIdle;
      return kNothingToSend;
  }
}

void ModbusAsciiReceiveByte(LinkHandle* h, uint8_t character) {
  if (h->reply_expected.load() == 0) {
    // Nobody waits any more: a frame begun for a request that gave up must
    // not run on into the next reply.
    if (h->rx_state == kAsciiRxCollecting) {
      ReturnToPool(h->rx_frame);
      h->rx_frame = nullptr;
      h->rx_state = kModbusRxIdle;
    }
    return;
  }
  if (h->rx_state != kAsciiRxCollecting) {
    if (character != ':') return;  // the LF after CR lands here too
    FrameBuffer* frame = TakePoolFrame();
    if (!frame) return;
    h->rx_frame = frame;
    h->rx_check = 0;
    h->rx_room = kAsciiDigitRoom;
    h->rx_cursor = frame->data;
    h->rx_state = kAsciiRxCollecting;
    return;
  }
  character &= 0x7F;
  if (h->rx_room == 0 || IsControl(character)) {
    FinishAsciiFrame(h, character);
    return;
  }
  uint8_t digit = AsciiDigitValue(character);
  if (h->rx_room % 2 == 0) {
    *h->rx_cursor = static_cast<uint8_t>(digit << 4);
  } else {
    *h->rx_cursor = static_cast<uint8_t>(*h->rx_cursor | digit);
    h->rx_check = static_cast<uint16_t>(h->rx_check + *h->rx_cursor);
    ++h->rx_cursor;
  }
  --h->rx_room;
}

}  // namespace linklib
