#include "link/link_handle.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

namespace linklib {
namespace {

// Live handles. A closed or foreign pointer is looked up here before the
// record is read, so it is refused without touching freed memory.
std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}
std::unordered_set<const LinkHandle*>& LiveHandles() {
  static std::unordered_set<const LinkHandle*> handles;
  return handles;
}

}  // namespace

LinkHandle* AllocateHandle() {
  LinkHandle* handle = new (std::nothrow) LinkHandle();
  if (!handle) return nullptr;
  std::lock_guard<std::mutex> guard(RegistryLock());
  LiveHandles().insert(handle);
  return handle;
}

void FreeHandle(LinkHandle* handle) {
  if (!handle) return;
  {
    std::lock_guard<std::mutex> guard(RegistryLock());
    LiveHandles().erase(handle);
  }
  handle->mark = 0;
  delete handle;
}

bool IsValidHandle(const LinkHandle* handle) {
  std::lock_guard<std::mutex> guard(RegistryLock());
  return handle && LiveHandles().count(handle) && handle->mark == kHandleMark;
}

uint32_t DefaultWaitCallback(uint32_t) { return 1; }

void SetMessage(LinkHandle* handle, const char* text) {
  std::snprintf(handle->message, kMessageSize, "%s", text ? text : "");
}

void SetMessageF(LinkHandle* handle, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(handle->message, kMessageSize, format, args);
  va_end(args);
}

}  // namespace linklib
