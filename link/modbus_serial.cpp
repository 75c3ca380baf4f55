// Placeholder until Modbus RTU and ASCII land: every request fails.
#include "link/protocols.h"

namespace linklib {
LinkHandle* OpenModbusRTU(const char*, uint16_t) { return nullptr; }
LinkHandle* OpenModbusAscii(const char*, uint16_t) { return nullptr; }
int ModbusSerialReadRegisters(LinkHandle* h, uint32_t, uint32_t, uint16_t*) { SetMessage(h, "No reply to read command"); return 0; }
int ModbusSerialWriteRegisters(LinkHandle* h, uint32_t, uint32_t, const uint16_t*) { SetMessage(h, "No reply to write command"); return 0; }
int ModbusSerialReadFileRecords(LinkHandle* h, uint16_t, uint32_t, uint32_t, uint16_t*) { SetMessage(h, "No reply to read command"); return 0; }
int ModbusSerialRead3X(LinkHandle* h, uint16_t, uint32_t, uint32_t, uint16_t*) { SetMessage(h, "No reply to read command"); return 0; }
int ModbusSerialWriteFileRecords(LinkHandle* h, uint16_t, uint32_t, uint32_t, const uint16_t*) { SetMessage(h, "No reply to write command"); return 0; }
void ModbusRtuReceiveByte(LinkHandle*, uint8_t) {}
void ModbusAsciiReceiveByte(LinkHandle*, uint8_t) {}
uint16_t ModbusSerialNextByte(LinkHandle*) { return kNothingToSend; }
void ModbusRtuEndFrame(LinkHandle*) {}
}  // namespace linklib
