// Placeholder until the serial port driver lands: serial opens fail.
#include "link/serial_port.h"

namespace linklib {
LinkHandle* OpenSerialLink(const char*, uint8_t, const Route*, RxHandler, TxSource) { return nullptr; }
void KickTransmitter(LinkHandle*) {}
void CloseSerialLink(LinkHandle*) {}
bool PortNameToDevicePath(const char*, char* path, size_t size) { if (size) path[0] = 0; return false; }
uint32_t ReadIntervalTimeout(uint32_t baud) { return baud ? (4 * baud + 153996) / baud : 0; }
}  // namespace linklib
