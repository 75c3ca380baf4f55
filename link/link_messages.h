// The link library's message tables (Sy/Max status codes, Modbus exception
// codes, SA85 adapter codes) and the rules that put a code and its text
// together in a handle's message.
#pragma once

#include <cstdint>

#include "link/link_handle.h"

namespace linklib {

// Text of a Sy/Max status code; codes above 135 give "Unknown Error Code".
const char* SymaxErrorText(unsigned code);
// Text of a Modbus exception code 1..12; null for any other code.
const char* ModbusExceptionText(unsigned code);
// Text of an SA85 adapter return code 1..36; null for any other code.
const char* Sa85ErrorText(unsigned code);

// "(%u) %s": a Sy/Max error reply or a priority reply's non-zero status.
void SetSymaxStatusMessage(LinkHandle* handle, unsigned code);
// "Modbus error reply %u " with the exception text appended for codes 1..12.
void SetModbusSerialException(LinkHandle* handle, unsigned code);
// Codes 1..12: the exception text alone; other codes "Modbus error reply %u".
void SetModbusTcpException(LinkHandle* handle, unsigned code);

// A socket failure in the terms the programs show: `prefix` ("Recv " or
// "Send ") and the text for the error number (errno), or
// "%s WINSOCK error %d" for a number without a text of its own. Returns true
// when the failure means the connection is gone and must be made again.
bool SetSocketErrorMessage(LinkHandle* handle, const char* prefix, int error_number);

}  // namespace linklib
