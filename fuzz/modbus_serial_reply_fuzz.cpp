// The Modbus RTU and ASCII receivers and the reply checks: the fuzzer's
// bytes arrive on the line while a request waits (an RTU frame ends where a
// read ends: at every 0xFF byte and at the end of the input), and every
// frame that comes out is checked against the request. The first byte
// chooses the framing and the operation, the second the register count.
#include <cstddef>
#include <cstdint>

#include "fuzz/link_fuzz_handle.h"
#include "link/modbus_serial.h"
#include "link/protocols.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  bool ascii = data[0] & 1;
  fuzzing::FuzzHandle handle(ascii ? linklib::kKindModbusAscii : linklib::kKindModbusRtu);
  linklib::LinkHandle* h = handle.h;
  h->rx_handler = ascii ? linklib::ModbusAsciiReceiveByte : linklib::ModbusRtuReceiveByte;
  h->tx_source = linklib::ModbusSerialNextByte;
  h->route.count = 1;
  h->reply_expected = 1;

  static const linklib::ModbusOperation kOperations[] = {
      linklib::ModbusOperation::kReadHolding, linklib::ModbusOperation::kReadInput,
      linklib::ModbusOperation::kWriteHolding, linklib::ModbusOperation::kReadFile,
      linklib::ModbusOperation::kWriteFile};
  static const uint16_t kValues[128] = {};
  linklib::ModbusRequest request;
  request.operation = kOperations[(data[0] >> 1) % 5];
  request.reference_type = (data[0] & 0x40) ? 3 : 6;
  request.file = 1;
  request.first = 100;
  request.count = (data[1] & 0x7F) + 1u;
  request.values = kValues;

  uint16_t words[128] = {};
  auto check_frames = [&] {
    while (linklib::FrameBuffer* frame = linklib::TakeFrame(h->rx_queue)) {
      linklib::CheckModbusReply(h, request, 1, *frame, words);
      linklib::ReturnToPool(frame);
    }
  };
  for (size_t i = 2; i < size; ++i) {
    if (!ascii && data[i] == 0xFF) {
      linklib::ModbusRtuEndFrame(h);
    } else {
      h->rx_handler(h, data[i]);
    }
    check_frames();
  }
  if (!ascii) linklib::ModbusRtuEndFrame(h);
  check_frames();
  return 0;
}
