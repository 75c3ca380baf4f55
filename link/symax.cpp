// Placeholder until the Sy/Max protocol lands: every request fails.
#include "link/protocols.h"

namespace linklib {
LinkHandle* OpenSymax(const char*, uint8_t, const Route*) { return nullptr; }
int SymaxReadRegisters(LinkHandle* h, uint32_t, uint32_t, uint16_t*) { SetMessage(h, "Read reply timeout"); return 0; }
int SymaxWriteRegisters(LinkHandle* h, uint32_t, uint32_t, const uint16_t*) { SetMessage(h, "Write reply timeout"); return 0; }
int SymaxRandomRead(LinkHandle* h, const uint32_t*, uint32_t, uint16_t*) { SetMessage(h, "Read reply timeout"); return 0; }
void SymaxReceiveByte(LinkHandle*, uint8_t) {}
uint16_t SymaxNextByte(LinkHandle*) { return kNothingToSend; }
}  // namespace linklib
