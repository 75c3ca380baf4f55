#include "link/serial_port.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "link/serial_worker.h"

namespace linklib {
namespace {

constexpr uint32_t kOpenBaud = 9600;
constexpr uint32_t kOpenReadIntervalMs = 20;
constexpr uint16_t kOpenReplyTimeout = 500;
constexpr int kFramesPerOpen = 3;

platform::LineSettings OpenLineSettings(bool rts_toggle) {
  platform::LineSettings line;
  line.baud = kOpenBaud;
  line.parity = platform::Parity::Even;
  line.data_bits = 8;
  line.stop_bits = 1;
  // Output waits for CTS, except when RTS marks the sending direction of a
  // two-wire line: there CTS means nothing.
  line.cts_flow = !rts_toggle;
  return line;
}

void FillNewHandle(LinkHandle* h, uint8_t net_to_net, const Route* route, RxHandler rx_handler,
                   TxSource tx_source, uint32_t kind) {
  h->kind = kind;
  h->mode = static_cast<uint8_t>(kind);
  if (route) h->route = *route;
  h->tx_seq = 17;
  h->response_char = 21;
  h->rx_seq = 21;
  h->transnum_counter = 0;
  h->net_to_net = net_to_net;
  h->reply_timeout = kOpenReplyTimeout;
  h->wait_callback = DefaultWaitCallback;
  h->rx_handler = rx_handler;
  h->tx_source = tx_source;
  uint16_t chunk = kind == kKindSymax ? 8 : 258;
  h->read_chunk = chunk;
  h->tx_chunk = chunk;
  h->rts_toggle = GetProgramStyle() == ProgramStyle::RegisterEditor && kind != kKindSymax;
}

}  // namespace

bool PortNameToDevicePath(const char* port_name, char* path, size_t size) {
  if (size) path[0] = 0;
  if (!port_name || size == 0) return false;
  if (port_name[0] == '/') {
    // A path that does not fit is refused rather than cut to another name.
    if (std::strlen(port_name) >= size) return false;
    std::snprintf(path, size, "%s", port_name);
    return true;
  }
  // "COMn" in either case, n from 1, with an optional colon.
  if (std::strlen(port_name) < 4) return false;
  for (int i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(port_name[i])) != "COM"[i]) return false;
  const char* digits = port_name + 3;
  unsigned number = 0;
  int count = 0;
  while (std::isdigit(static_cast<unsigned char>(digits[count])) && count < 4)
    number = number * 10 + static_cast<unsigned>(digits[count++] - '0');
  const char* rest = digits + count;
  // Port settings may follow the colon; they are not part of the name.
  if (count == 0 || number == 0 || (rest[0] != 0 && rest[0] != ':')) return false;
  int written = std::snprintf(path, size, "/dev/ttyS%u", number - 1);
  return written > 0 && static_cast<size_t>(written) < size;
}

uint32_t ReadIntervalTimeout(uint32_t baud) {
  if (baud == 0) return 0;
  return static_cast<uint32_t>((4ULL * baud + 153996ULL) / baud);
}

LinkHandle* OpenSerialLink(const char* port_name, uint8_t net_to_net, const Route* route,
                           RxHandler rx_handler, TxSource tx_source, uint32_t kind) {
  char path[256];
  if (!PortNameToDevicePath(port_name, path, sizeof path)) return nullptr;
  LinkHandle* h = AllocateHandle();
  if (!h) return nullptr;
  FillNewHandle(h, net_to_net, route, rx_handler, tx_source, kind);

  int error = 0;
  std::unique_ptr<platform::SerialDevice> device =
      platform::SerialDevice::Open(path, platform::Access::ReadWrite, true, &error);
  platform::LineSettings line = OpenLineSettings(h->rts_toggle);
  if (!device || device->Configure(line, nullptr) != 0) {
    FreeHandle(h);
    return nullptr;
  }
  SerialWorker* worker = new (std::nothrow)
      SerialWorker(h, std::move(device), h->rts_toggle, line, kOpenReadIntervalMs);
  if (!worker) {
    FreeHandle(h);
    return nullptr;
  }
  h->mark = kHandleMark;
  // Set before the thread starts: a receiver may kick from the worker.
  h->worker = worker;
  if (!worker->Start()) {
    h->worker = nullptr;
    delete worker;
    FreeHandle(h);
    return nullptr;
  }
  AddFramesToPool(kFramesPerOpen);
  return h;
}

void RunTransmitPump(LinkHandle* h, size_t written) {
  written = std::min<size_t>(written, h->tx_staged);
  std::memmove(h->tx_stage, h->tx_stage + written, h->tx_staged - written);
  h->tx_staged = static_cast<uint16_t>(h->tx_staged - written);
  size_t chunk = std::min<size_t>(h->tx_chunk, sizeof h->tx_stage);
  while (h->tx_staged < chunk && h->tx_source) {
    uint16_t next = h->tx_source(h);
    if (next >= 0x100) break;
    h->tx_stage[h->tx_staged++] = static_cast<uint8_t>(next);
  }
  if (h->tx_staged > 0)
    h->link_flags |= kFlagWriteOutstanding;
  else
    h->link_flags &= static_cast<uint16_t>(~kFlagWriteOutstanding);
}

void KickTransmitter(LinkHandle* h) {
  if (!h || !h->worker) return;
  bool start = false;
  {
    std::lock_guard<std::recursive_mutex> guard(h->pump_lock);
    if (!(h->link_flags & kFlagWriteOutstanding)) {
      RunTransmitPump(h, 0);
      start = h->link_flags & kFlagWriteOutstanding;
    }
  }
  if (start) h->worker->Wake();
}

void CloseSerialLink(LinkHandle* h) {
  if (!h || !h->worker) return;
  SerialWorker* worker = h->worker;
  worker->Stop();
  h->worker = nullptr;
  delete worker;
  // The worker is gone: nothing touches the state machines any more. Every
  // frame the handle still holds (a line or frame half received, a request
  // half sent, replies and requests still queued) goes back to the pool,
  // where the next link finds it.
  std::lock_guard<std::recursive_mutex> guard(h->pump_lock);
  if (h->rx_frame) ReturnToPool(h->rx_frame);
  if (h->tx_frame) ReturnToPool(h->tx_frame);
  h->rx_frame = nullptr;
  h->tx_frame = nullptr;
  ReturnListToPool(h->rx_queue);
  ReturnListToPool(h->tx_queue);
}

}  // namespace linklib
