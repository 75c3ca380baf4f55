// Modbus RTU framing: address, data unit, CRC-16 low byte then high byte. A
// frame ends when the line goes quiet (the worker's short read).
#include "link/frame_pool.h"
#include "link/modbus_checks.h"
#include "link/modbus_serial.h"
#include "link/protocols.h"
#include "link/reply_wait.h"

namespace linklib {
namespace {

constexpr uint8_t kTxIdle = 0;
constexpr uint8_t kTxData = 11;
constexpr uint8_t kTxCrcHigh = 13;

}  // namespace

uint16_t ModbusRtuNextByte(LinkHandle* h) {
  switch (h->tx_state) {
    case kTxIdle: {
      FrameBuffer* frame = TakeFrame(h->tx_queue);
      if (!frame) return kNothingToSend;
      h->tx_frame = frame;
      h->tx_cursor = frame->data;
      h->tx_left = frame->length <= sizeof(frame->data) ? frame->length : sizeof(frame->data);
      h->tx_check = ModbusCrcStep(0xFFFF, frame->address[0]);
      h->tx_state = kTxData;
      return frame->address[0];
    }
    case kTxData:
      if (h->tx_left != 0) {
        --h->tx_left;
        uint8_t byte = *h->tx_cursor++;
        h->tx_check = ModbusCrcStep(h->tx_check, byte);
        return byte;
      }
      h->tx_state = kTxCrcHigh;
      return h->tx_check & 0xFF;
    case kTxCrcHigh:
      ReturnToPool(h->tx_frame);
      h->tx_frame = nullptr;
      h->tx_state = kTxIdle;
      return h->tx_check >> 8;
    default:
      h->tx_state = kTxIdle;
      return kNothingToSend;
  }
}

void ModbusRtuReceiveByte(LinkHandle* h, uint8_t byte) {
  if (h->reply_expected.load() == 0) {
    // Nobody waits any more: a frame begun for a request that gave up is
    // dropped, and so is the rest of it.
    if (h->rx_state == kRtuRxCollecting) {
      ReturnToPool(h->rx_frame);
      h->rx_frame = nullptr;
      h->rx_state = kRtuRxDiscarding;
    }
    return;
  }
  switch (h->rx_state) {
    case kModbusRxIdle: {
      FrameBuffer* frame = TakePoolFrame();
      if (!frame) return;
      h->rx_frame = frame;
      h->rx_seq = byte;
      h->rx_check = ModbusCrcStep(0xFFFF, byte);
      h->rx_room = kFrameRoom;
      h->rx_cursor = frame->data;
      h->rx_state = kRtuRxCollecting;
      return;
    }
    case kRtuRxCollecting:
      if (h->rx_room != 0) {
        *h->rx_cursor++ = byte;
        --h->rx_room;
        h->rx_check = ModbusCrcStep(h->rx_check, byte);
        return;
      }
      // More than any reply can hold: give up on it and on the wait.
      ReturnToPool(h->rx_frame);
      h->rx_frame = nullptr;
      h->rx_state = kRtuRxDiscarding;
      EndReplyWait();
      return;
    default:  // discarding the rest of an overlong frame
      return;
  }
}

void ModbusRtuEndFrame(LinkHandle* h) {
  if (h->rx_state == kRtuRxCollecting && h->rx_frame) {
    FrameBuffer* frame = h->rx_frame;
    h->rx_frame = nullptr;
    uint16_t length = kFrameRoom - h->rx_room;
    if (length > 2 && h->rx_check == 0) {
      frame->length = length - 2;
      frame->address[0] = h->rx_seq;
      AppendFrame(h->rx_queue, frame);
    } else {
      ReturnToPool(frame);
    }
  }
  h->rx_state = kModbusRxIdle;
}

}  // namespace linklib
