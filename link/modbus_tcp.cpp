// Placeholder until Modbus TCP lands: opens fail.
#include "link/protocols.h"

namespace linklib {
LinkHandle* OpenModbusTCP(const char*, uint16_t, uint16_t) { return nullptr; }
void ModbusTcpClose(LinkHandle*) {}
int ModbusTcpReadRegisters(LinkHandle*, uint32_t, uint32_t, uint16_t*) { return 0; }
int ModbusTcpWriteRegisters(LinkHandle*, uint32_t, uint32_t, const uint16_t*) { return 0; }
int ModbusTcpReadFileRecords(LinkHandle*, uint16_t, uint32_t, uint32_t, uint16_t*) { return 0; }
int ModbusTcpRead3X(LinkHandle*, uint16_t, uint32_t, uint32_t, uint16_t*) { return 0; }
int ModbusTcpWriteFileRecords(LinkHandle*, uint16_t, uint32_t, uint32_t, const uint16_t*) { return 0; }
}  // namespace linklib
