// The serial port driver: the serial open shared by the four serial kinds,
// the worker thread that moves bytes between the port and the protocol state
// machines, the transmit pump and its kick, and the line settings.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/link_handle.h"

namespace linklib {

// Opens the port and starts the worker. The handle gets `kind` and the same
// number as its mode, chunks of 8 bytes for Sy/Max and 258 for the other
// kinds, and RTS raised only while sending when the program is the register
// editor and the kind is not Sy/Max; line 9600,E,8,1, read interval 20 ms,
// reply time-out 500. The worker reads kind, mode and the chunk sizes, so a
// per-kind open passes its kind here rather than writing them afterwards.
// Null on any failure, nothing kept (except buffers already added to the pool).
LinkHandle* OpenSerialLink(const char* port_name, uint8_t net_to_net, const Route* route,
                           RxHandler rx_handler, TxSource tx_source, uint32_t kind = kKindSymax);

// Starts the transmitter unless a write is outstanding. A handle without a
// port (state-machine tests) is left alone: the test pulls bytes itself.
void KickTransmitter(LinkHandle* handle);

// The transmit pump, run with pump_lock held: drops `written` bytes from the
// front of tx_stage, refills it from tx_source up to tx_chunk and sets or
// clears the write-outstanding flag. The caller starts the write.
void RunTransmitPump(LinkHandle* handle, size_t written);

// Stops the worker, waits for it and closes the port.
void CloseSerialLink(LinkHandle* handle);

// Maps a port name to a device path: "COMn:" to /dev/ttyS(n-1); a name
// beginning with "/" is a device path taken whole. False when neither.
// The result is written into `path` (bounded).
bool PortNameToDevicePath(const char* port_name, char* path, size_t size);

// Read interval time-out in milliseconds for a baud rate (0 for baud 0).
uint32_t ReadIntervalTimeout(uint32_t baud);

}  // namespace linklib
