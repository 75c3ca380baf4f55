// The program style, the adapter-card opens that no transport backs, the
// option setters, LinkMessage and CloseLink.
#include <atomic>
#include <mutex>

#include "link/protocols.h"
#include "link/serial_port.h"

namespace linklib {
namespace {
std::atomic<ProgramStyle> program_style{ProgramStyle::Downloader};
}  // namespace

void SetProgramStyle(ProgramStyle style) { program_style.store(style); }
ProgramStyle GetProgramStyle() { return program_style.load(); }

// No SA85, Sy/Net or SFI610 transport exists: the callers report their own
// message.
LinkHandle* OpenSA85(int, const Route*) { return nullptr; }
LinkHandle* OpenSylink(uint32_t, uint8_t, const Route*) { return nullptr; }
LinkHandle* OpenSFI610(const Route*) { return nullptr; }
int SetSylinkSpeed(LinkHandle*, uint32_t, uint32_t) { return 0; }

int SetLinkOptions(LinkHandle* handle, int crc, int priority) {
  if (!IsValidHandle(handle)) return 0;
  {
    // The worker changes other bits of link_flags under this lock.
    std::lock_guard<std::recursive_mutex> guard(handle->pump_lock);
    if (crc)
      handle->link_flags |= kFlagCrc;
    else
      handle->link_flags &= static_cast<uint16_t>(~kFlagCrc);
  }
  handle->priority = priority ? 1 : 0;
  return 1;
}

int SetWaitCallback(LinkHandle* handle, WaitCallback callback, uint32_t user) {
  if (!IsValidHandle(handle)) return 0;
  if (callback) {
    handle->wait_callback = callback;
    handle->wait_user = user;
  } else {
    handle->wait_callback = DefaultWaitCallback;
  }
  return 1;
}

const char* LinkMessage(const LinkHandle* handle) {
  return IsValidHandle(handle) ? handle->message : "Handle not valid";
}

int CloseLink(LinkHandle* handle) {
  if (!IsValidHandle(handle)) return 0;
  switch (handle->kind) {
    case kKindSymax:
    case kKindGateway:
    case kKindModbusRtu:
    case kKindModbusAscii:
      CloseSerialLink(handle);
      break;
    case kKindModbusTcp:
      ModbusTcpClose(handle);
      break;
    default:
      break;
  }
  FreeHandle(handle);
  return 1;
}

}  // namespace linklib
