// Modbus RTU and ASCII inside the link library: the framing state machines
// (link/modbus_rtu.cpp, link/modbus_ascii.cpp) and the requests built on them
// (link/modbus_serial_requests.cpp). The entry points reached by dispatch and
// by the serial worker are declared in link/protocols.h.
#pragma once

#include <cstdint>

#include "link/link_handle.h"

namespace linklib {

// Receive states of the two framings (0 is "between frames").
constexpr uint8_t kModbusRxIdle = 0;
constexpr uint8_t kRtuRxCollecting = 8;
constexpr uint8_t kAsciiRxCollecting = 9;
constexpr uint8_t kRtuRxDiscarding = 10;  // an overlong frame: drop the rest of it

// Room of a receive frame: 263 bytes, or 526 hexadecimal digits in ASCII.
constexpr uint16_t kFrameRoom = 263;
constexpr uint16_t kAsciiDigitRoom = 2 * kFrameRoom;

// Transmit state machines of each framing (ModbusSerialNextByte picks one by
// the handle's mode).
uint16_t ModbusRtuNextByte(LinkHandle* h);
uint16_t ModbusAsciiNextByte(LinkHandle* h);

enum class ModbusOperation {
  kReadHolding,   // function 3
  kReadInput,     // function 4 (the register editor's 3X read)
  kWriteHolding,  // function 16
  kReadFile,      // function 20, reference type 6 or 3
  kWriteFile,     // function 21, reference type 6
};

struct ModbusRequest {
  ModbusOperation operation = ModbusOperation::kReadHolding;
  uint8_t reference_type = 6;
  uint16_t file = 0;
  uint32_t first = 1;  // register number (from 1), or the first record number
  uint32_t count = 1;
  const uint16_t* values = nullptr;  // writes only
};

uint8_t ModbusFunctionCode(ModbusOperation operation);

// True when the request's data unit fits a frame buffer (with the byte the
// ASCII transmitter adds in front).
bool ModbusRequestFits(const ModbusRequest& request);
// Puts the slave address and the request data unit into the frame.
void BuildModbusRequest(const ModbusRequest& request, uint8_t slave, FrameBuffer* frame);
// Checks a reply against its request, in the order the link reports faults,
// leaving the fault's text in the handle. On success copies the words read.
bool CheckModbusReply(LinkHandle* h, const ModbusRequest& request, uint8_t slave,
                      const FrameBuffer& reply, uint16_t* words);

// Builds, sends and waits for one request, then checks its reply: the whole
// exchange of every Modbus serial register operation. Returns the count or 0.
int RunModbusRequest(LinkHandle* h, const ModbusRequest& request, uint16_t* words);

}  // namespace linklib
