// The Gateway reply reader: the fuzzer's bytes arrive as the device's answer
// to an R command (the line receiver and the parser of the values) or to a W
// command (the wait for a lone CR among other lines). The first byte chooses
// the operation and the register count.
#include <cstddef>
#include <cstdint>

#include "fuzz/link_fuzz_handle.h"
#include "link/protocols.h"
#include "link/reply_wait.h"

namespace {

const uint8_t* reply_data = nullptr;
size_t reply_size = 0;
linklib::LinkHandle* fed_handle = nullptr;

// Plays the device on the first poll; ends the wait as soon as nothing more
// can arrive.
uint32_t FeedReply(uint32_t) {
  if (reply_data) {
    for (size_t i = 0; i < reply_size; ++i) linklib::GatewayReceiveByte(fed_handle, reply_data[i]);
    reply_data = nullptr;
  }
  if (linklib::IsListEmpty(fed_handle->rx_queue)) linklib::EndReplyWait();
  return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  fuzzing::FuzzHandle handle(linklib::kKindGateway);
  linklib::LinkHandle* h = handle.h;
  h->rx_handler = linklib::GatewayReceiveByte;
  h->tx_source = linklib::GatewayNextByte;
  h->route.count = 1;
  h->route.drops[0] = 3;
  h->gateway_route_sent = h->route;  // announced already: the reply answers R or W
  h->wait_callback = FeedReply;
  fed_handle = h;
  reply_data = data + 1;
  reply_size = size - 1;
  uint32_t count = (data[0] & 0x7F) + 1u;
  uint16_t words[128] = {};
  if (data[0] & 0x80)
    linklib::GatewayWriteRegisters(h, 1, count, words);
  else
    linklib::GatewayReadRegisters(h, 1, count, words);
  // What the transmitter holds goes back with the handle.
  while (linklib::GatewayNextByte(h) < 0x100) {
  }
  return 0;
}
