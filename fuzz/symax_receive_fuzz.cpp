// The Sy/Max receive state machine, with the transmitter it drives (control
// pairs, acknowledgements, retransmissions), fed arbitrary line bytes. The
// first byte chooses the check (LRC or CRC-16), whether a reply is awaited
// and the transaction number it must carry.
#include <cstddef>
#include <cstdint>

#include "fuzz/link_fuzz_handle.h"
#include "link/protocols.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  fuzzing::FuzzHandle handle(linklib::kKindSymax);
  linklib::LinkHandle* h = handle.h;
  h->rx_handler = linklib::SymaxReceiveByte;
  h->tx_source = linklib::SymaxNextByte;
  h->tx_seq = 0x11;
  h->response_char = 0x15;
  h->rx_seq = 0x15;
  h->read_chunk = h->tx_chunk = 8;
  if (data[0] & 1) h->link_flags |= linklib::kFlagCrc;
  h->reply_expected = (data[0] & 2) ? 1 : 0;
  h->expected_transnum = static_cast<uint8_t>(data[0] >> 2);
  // A request frame waits to go, so that acknowledgements and NAKs find one.
  if (data[0] & 0x80) {
    linklib::FrameBuffer* frame = linklib::TakePoolFrame();
    if (frame) {
      frame->length = 4;
      linklib::AppendFrame(h->tx_queue, frame);
    }
  }
  for (size_t i = 1; i < size; ++i) {
    linklib::SymaxReceiveByte(h, data[i]);
    // Let the transmitter run now and then, as the worker would.
    if (i % 7 == 0) {
      for (int n = 0; n < 600 && linklib::SymaxNextByte(h) < 0x100; ++n) {
      }
    }
  }
  for (int n = 0; n < 600 && linklib::SymaxNextByte(h) < 0x100; ++n) {
  }
  return 0;
}
