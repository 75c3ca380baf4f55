// Placeholder until the Gateway protocol lands: every request fails.
#include "link/protocols.h"

namespace linklib {
LinkHandle* OpenGateway(const char*, const Route*) { return nullptr; }
int GatewayReadRegisters(LinkHandle* h, uint32_t, uint32_t, uint16_t*) { SetMessage(h, "No reply to R command"); return 0; }
int GatewayWriteRegisters(LinkHandle* h, uint32_t, uint32_t, const uint16_t*) { SetMessage(h, "No valid reply to W command"); return 0; }
int GatewayRandomRead(LinkHandle* h, const uint32_t*, uint32_t, uint16_t*) { SetMessage(h, "No reply to R command"); return 0; }
void GatewayReceiveByte(LinkHandle*, uint8_t) {}
uint16_t GatewayNextByte(LinkHandle*) { return kNothingToSend; }
}  // namespace linklib
