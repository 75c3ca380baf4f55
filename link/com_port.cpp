#include "link/com_port.h"

#include <cerrno>
#include <chrono>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

#include "link/line_clock.h"
#include "link/serial_port.h"
#include "platform/serial_device.h"

namespace linklib {

struct ComPort {
  std::unique_ptr<platform::SerialDevice> device;
  std::mutex line_lock;  // guards the line clock against a read changing it
  LineClock clock;
};

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t kNoTimeLimit = 0xFFFFFFFF;

std::optional<Clock::time_point> DeadlineFor(uint32_t timeout) {
  if (timeout == kNoTimeLimit) return std::nullopt;
  auto limit =
      timeout == 0 ? std::chrono::milliseconds(1) : std::chrono::milliseconds(10ULL * timeout);
  return Clock::now() + limit;
}

bool Expired(const std::optional<Clock::time_point>& deadline) {
  return deadline && Clock::now() >= *deadline;
}

platform::Access AccessFrom(uint32_t access) {
  bool read = access & 1;
  bool write = access & 2;
  if (read && !write) return platform::Access::Read;
  if (write && !read) return platform::Access::Write;
  return platform::Access::ReadWrite;
}

}  // namespace

uint32_t ComStatusFromErrno(int error) {
  switch (error) {
    case 0:
      return kComSuccess;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
      return kComNoSuchPort;
    case EACCES:
    case EPERM:
    case EBUSY:  // in use by another program
    case EROFS:
      return kComAccessDenied;
    case EBADF:
      return kComInvalidHandle;
    case EIO:  // a terminal whose other side hung up
      return kComEndOfFile;
    case ENOMEM:
      return kComNoMemory;
    default:
      return kComOtherError;
  }
}

uint32_t ComOpen(const char* name, uint32_t access, uint32_t, ComPort** result) {
  char path[256];
  if (!PortNameToDevicePath(name, path, sizeof path)) return kComNoSuchPort;
  ComPort* port = new (std::nothrow) ComPort;
  if (!port) return kComNoMemory;
  int error = 0;
  port->device = platform::SerialDevice::Open(path, AccessFrom(access), false, &error);
  platform::LineSettings line;
  if (port->device) {
    // Raw mode, keeping the line settings the port has.
    error = port->device->ReadSettings(&line);
    if (line.baud == 0) line.baud = 9600;  // 0 baud would hang the line up
    if (error == 0) error = port->device->Configure(line, nullptr);
  }
  if (!port->device || error != 0) {
    delete port;
    return ComStatusFromErrno(error);
  }
  port->clock.SetFraming(line.baud, platform::BitsPerCharacter(line));
  if (result) *result = port;
  return kComSuccess;
}

uint32_t ComSetMode(ComPort* port, uint32_t baud, uint32_t data_bits, uint32_t stop_bits,
                    uint32_t parity, uint32_t handshake) {
  if (!port || !port->device) return kComInvalidHandle;
  platform::LineSettings line;
  if (port->device->ReadSettings(&line) != 0) return kComInvalidHandle;
  if (baud != 0) line.baud = baud;  // 0 would hang the line up
  line.data_bits = static_cast<int>(data_bits);
  line.stop_bits = stop_bits == 2 ? 2 : 1;
  switch (parity) {
    case 0:
      line.parity = platform::Parity::None;
      break;
    case 1:
      line.parity = platform::Parity::Even;
      break;
    case 2:
      line.parity = platform::Parity::Odd;
      break;
    case 5:
      line.parity = platform::Parity::Space;
      break;
    case 6:
      line.parity = platform::Parity::Mark;
      break;
    default:
      break;
  }
  line.xon_xoff = handshake & 1;
  line.cts_flow = handshake & 2;
  std::lock_guard<std::mutex> guard(port->line_lock);
  int error = port->device->Configure(line, nullptr);
  if (error != 0) return ComStatusFromErrno(error);
  port->clock.SetFraming(line.baud, platform::BitsPerCharacter(line));
  if (!(handshake & 2)) port->device->SetRts(true);
  return kComSuccess;
}

uint32_t ComRead(ComPort* port, uint32_t, uint32_t, uint32_t timeout, void* buffer, uint32_t count,
                 uint32_t* moved) {
  if (moved) *moved = 0;
  if (!port || !port->device) return kComInvalidHandle;
  std::optional<Clock::time_point> deadline = DeadlineFor(timeout);
  uint8_t* bytes = static_cast<uint8_t*>(buffer);
  uint32_t got = 0;
  uint32_t status = kComSuccess;
  while (got < count) {
    platform::IoResult result = port->device->Read(bytes + got, count - got);
    got += static_cast<uint32_t>(result.count);
    if (result.end_of_file) {
      status = kComEndOfFile;
      break;
    }
    if (result.count == 0 && result.error != EAGAIN) {
      status = ComStatusFromErrno(result.error);
      break;
    }
    if (got == count || Expired(deadline)) break;
    if (result.count == 0) port->device->Wait(nullptr, true, false, deadline);
  }
  if (moved) *moved = got;
  if (status == kComSuccess && got < count) status = kComTimeout;
  return status;
}

uint32_t ComWrite(ComPort* port, uint32_t, uint32_t, uint32_t timeout, const void* buffer,
                  uint32_t count, uint32_t* moved) {
  if (moved) *moved = 0;
  if (!port || !port->device) return kComInvalidHandle;
  std::optional<Clock::time_point> deadline = DeadlineFor(timeout);
  const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
  uint32_t put = 0;
  uint32_t status = kComSuccess;
  Clock::time_point on_the_wire = Clock::now();
  while (put < count) {
    platform::IoResult result = port->device->Write(bytes + put, count - put);
    if (result.count > 0) {
      put += static_cast<uint32_t>(result.count);
      std::lock_guard<std::mutex> guard(port->line_lock);
      on_the_wire = port->clock.Add(result.count, Clock::now());
      continue;
    }
    if (result.error != EAGAIN) {
      status = ComStatusFromErrno(result.error);
      break;
    }
    if (Expired(deadline)) break;
    port->device->Wait(nullptr, false, true, deadline);
  }
  // The write is complete once its bytes have left the wire.
  std::this_thread::sleep_until(on_the_wire);
  if (moved) *moved = put;
  if (status == kComSuccess && put < count) status = kComTimeout;
  return status;
}

uint32_t ComSetRts(ComPort* port, int on) {
  if (!port || !port->device) return kComInvalidHandle;
  platform::LineSettings line;
  if (port->device->ReadSettings(&line) != 0) return kComInvalidHandle;
  int error = port->device->SetRts(on != 0);
  // A device without an RTS line (a pseudo-terminal) has nothing to set.
  if (error == ENOTTY || error == EINVAL) return kComSuccess;
  return ComStatusFromErrno(error);
}

uint32_t ComClose(ComPort* port) {
  if (!port || !port->device) return kComInvalidHandle;
  if (port->device->Close() != 0) return kComInvalidHandle;
  delete port;
  return kComSuccess;
}

}  // namespace linklib
