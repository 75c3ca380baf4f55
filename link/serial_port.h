// The serial port driver: the serial open shared by the four serial kinds,
// the worker thread that moves bytes between the port and the protocol state
// machines, the transmit pump and its kick, and the line settings.
#pragma once

#include <cstdint>

#include "link/link_handle.h"

namespace linklib {

// Opens the port and starts the worker; kind 1 / mode 1, chunks of 8 bytes,
// rx_handler and tx_source as given. Null on any failure, nothing kept
// (except buffers already added to the pool).
LinkHandle* OpenSerialLink(const char* port_name, uint8_t net_to_net, const Route* route,
                           RxHandler rx_handler, TxSource tx_source);

// Starts the transmitter unless a write is outstanding. A handle without a
// port (state-machine tests) is left alone: the test pulls bytes itself.
void KickTransmitter(LinkHandle* handle);

// Stops the worker, waits for it and closes the port.
void CloseSerialLink(LinkHandle* handle);

// Maps a port name to a device path: "COMn:" to /dev/ttyS(n-1); a name
// beginning with "/" is a device path taken whole. Empty when neither.
// The result is written into `path` (bounded).
bool PortNameToDevicePath(const char* port_name, char* path, size_t size);

// Read interval time-out in milliseconds for a baud rate.
uint32_t ReadIntervalTimeout(uint32_t baud);

}  // namespace linklib
