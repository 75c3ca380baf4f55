// Entry points of the transports, reached by the validation and dispatch of
// the register operations (link/register_operations.cpp). Requests arrive
// already validated (count 1..128, register range for the serial kinds).
#pragma once

#include <cstdint>

#include "link/link_handle.h"

namespace linklib {

// Each transport file also holds its open operation (OpenSymax in
// link/symax.cpp, OpenModbusTCP in link/modbus_tcp.cpp, ...).

// Request steps shared by the serial protocols (link/request_frames.cpp).
// Takes a buffer from the frame pool for a request. When the pool is empty the
// message becomes "Buffer shortage, try again", every frame of the handle's
// rx_queue and tx_queue goes back to the pool, and the result is null.
FrameBuffer* TakeRequestFrame(LinkHandle* h);
// Appends a request frame to tx_queue and starts the transmitter (unless a
// write is outstanding). Always succeeds.
void SendFrame(LinkHandle* h, FrameBuffer* frame);

// Sy/Max serial (link/symax.cpp).
int SymaxReadRegisters(LinkHandle* h, uint32_t first, uint32_t count, uint16_t* words);
int SymaxWriteRegisters(LinkHandle* h, uint32_t first, uint32_t count, const uint16_t* words);
int SymaxRandomRead(LinkHandle* h, const uint32_t* registers, uint32_t count, uint16_t* words);
void SymaxReceiveByte(LinkHandle* h, uint8_t byte);
uint16_t SymaxNextByte(LinkHandle* h);

// Gateway (link/gateway.cpp).
int GatewayReadRegisters(LinkHandle* h, uint32_t first, uint32_t count, uint16_t* words);
int GatewayWriteRegisters(LinkHandle* h, uint32_t first, uint32_t count, const uint16_t* words);
int GatewayRandomRead(LinkHandle* h, const uint32_t* registers, uint32_t count, uint16_t* words);
void GatewayReceiveByte(LinkHandle* h, uint8_t byte);
uint16_t GatewayNextByte(LinkHandle* h);

// Modbus RTU and ASCII (link/modbus_serial.cpp).
int ModbusSerialReadRegisters(LinkHandle* h, uint32_t first, uint32_t count, uint16_t* words);
int ModbusSerialWriteRegisters(LinkHandle* h, uint32_t first, uint32_t count,
                               const uint16_t* words);
int ModbusSerialReadFileRecords(LinkHandle* h, uint16_t file, uint32_t first, uint32_t count,
                                uint16_t* words);
int ModbusSerialRead3X(LinkHandle* h, uint16_t file, uint32_t first, uint32_t count,
                       uint16_t* words);
int ModbusSerialWriteFileRecords(LinkHandle* h, uint16_t file, uint32_t first, uint32_t count,
                                 const uint16_t* words);
void ModbusRtuReceiveByte(LinkHandle* h, uint8_t byte);
void ModbusAsciiReceiveByte(LinkHandle* h, uint8_t byte);
uint16_t ModbusSerialNextByte(LinkHandle* h);
// Called by the worker when a read came back short: the line went quiet,
// which ends the RTU frame being received.
void ModbusRtuEndFrame(LinkHandle* h);

// Modbus TCP (link/modbus_tcp.cpp).
void ModbusTcpClose(LinkHandle* h);
int ModbusTcpReadRegisters(LinkHandle* h, uint32_t first, uint32_t count, uint16_t* words);
int ModbusTcpWriteRegisters(LinkHandle* h, uint32_t first, uint32_t count, const uint16_t* words);
int ModbusTcpReadFileRecords(LinkHandle* h, uint16_t file, uint32_t first, uint32_t count,
                             uint16_t* words);
int ModbusTcpRead3X(LinkHandle* h, uint16_t file, uint32_t first, uint32_t count, uint16_t* words);
int ModbusTcpWriteFileRecords(LinkHandle* h, uint16_t file, uint32_t first, uint32_t count,
                              const uint16_t* words);

}  // namespace linklib
