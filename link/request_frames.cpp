// The first and last steps of every serial request: a buffer from the frame
// pool, and the frame handed to the transmitter.
#include "link/protocols.h"
#include "link/serial_port.h"

namespace linklib {

FrameBuffer* TakeRequestFrame(LinkHandle* h) {
  FrameBuffer* frame = TakePoolFrame();
  if (!frame) {
    // Frames stuck in this link's queues are what starved the pool: give
    // them back so that the next request can go.
    SetMessage(h, "Buffer shortage, try again");
    ReturnListToPool(h->rx_queue);
    ReturnListToPool(h->tx_queue);
  }
  return frame;
}

void SendFrame(LinkHandle* h, FrameBuffer* frame) {
  AppendFrame(h->tx_queue, frame);
  KickTransmitter(h);
}

}  // namespace linklib
