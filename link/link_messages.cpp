#include "link/link_messages.h"

#include <cerrno>

namespace linklib {
namespace {

// Indexed by the status code a Sy/Max device returns in an error reply or a
// priority reply.
constexpr const char* kSymaxErrors[] = {
    "No Error",                                         // 0
    "Illegal Opcode",                                   // 1
    "Illegal Intermediate Code",                        // 2
    "Illegal Address",                                  // 3
    "Illegal Rack Address",                             // 4
    "Instruction Not Allowed",                          // 5
    "Item Not Found",                                   // 6
    "Protected Register",                               // 7
    "Protected Memory",                                 // 8
    "Read-only Register",                               // 9
    "Memory Limitation",                                // 10
    "Communications Overflow",                          // 11
    "Illegal CPU Rack Addressing",                      // 12
    "Communications Error",                             // 13
    "Not Allowed In RUN",                               // 14
    "Communications Overflow",                          // 15
    "Register Count Too Large",                         // 16
    "Remote Device Inactive",                           // 17
    "Rung Number Not Allowed",                          // 18
    "Illegal Read Parameter",                           // 19
    "Illegal Channel Number",                           // 20
    "Changing Forced Bit",                              // 21
    "Forcing Inhibited",                                // 22
    "Fenced Register",                                  // 23
    "Forcing Non-forcible Register",                    // 24
    "CPU Error",                                        // 25
    "Rack Addressing Overlaps User Memory",             // 26
    "Memory Error",                                     // 27
    "Illegal Baud Rate",                                // 28
    "Illegal Route",                                    // 29
    "Inhibit Coil In Protected Memory",                 // 30
    "Protected Memory",                                 // 31
    "Data Error",                                       // 32
    "UVPROM Memory Error",                              // 33
    "Write Protected",                                  // 34
    "Replace Not Allowed",                              // 35
    "Past Last File",                                   // 36
    "View Protected",                                   // 37
    "Alarm Already Set",                                // 38
    "Hardware Memory Security In Effect",               // 39
    "Illegal Register Write",                           // 40
    "Illegal File Number",                              // 41
    "Illegal Operation",                                // 42
    "File Not Found",                                   // 43
    "Not Allowed During DLOG Tape",                     // 44
    "Protected File",                                   // 45
    "Not Allowed Due To Keyswitch Position",            // 46
    "Programming MCR In Subroutine Area Not Allowed",   // 47
    "I/O, Register Or Channel Safeguarded",             // 48
    "Rack Address Not Alterable While Forcing Active",  // 49
    "Missing Module",                                   // 50
    "Illegal File Type",                                // 51
    "Illegal Media Format",                             // 52
    "Illegal Mark Number",                              // 53
    "File Operation Aborted",                           // 54
    "COMMS Queue Buffer Forced Emptied",                // 55
    "Battery Low",                                      // 56
    "Illegal Mark Number For GOTO Or GOSUB",            // 57
    "Mark St.Sub Cannot Be Inserted",                   // 58
    "Return Rungs Not Allowed In Ladder Area",          // 59
    "Mark Number Previously Used",                      // 60
    "Cannot Delete Mark St.Sub",                        // 61
    "Cannot Delete Mark Having Return",                 // 62
    "Return Must Have Mark",                            // 63
    "Only One Return Per Mark",                         // 64
    "GOSUB Without Return",                             // 65
    "GOTO Mark Without Return",                         // 66
    "Cannot Delete Mark",                               // 67
    "Unused Mark Number",                               // 68
    "Not Allowed In RUN With Programmable Interrupt",   // 69
    "Insufficient Data",                                // 70
    "Unrecognized Command",                             // 71
    "Illegal Parameter",                                // 72
    "Illegal Source Parameter",                         // 73
    "Illegal Destination Parameter",                    // 74
    "Invalid Filespec",                                 // 75
    "Invalid Input Channel",                            // 76
    "Invalid Output Channel",                           // 77
    "Device Not Available",                             // 78
    "Serial Link Not Established",                      // 79
    "Hardware Read Fault",                              // 80
    "Hardware Write Fault",                             // 81
    "Read Error",                                       // 82
    "Write Error",                                      // 83
    "Directory Read Error",                             // 84
    "Directory Write Error",                            // 85
    "Directory Space Full",                             // 86
    "Device Space Full",                                // 87
    "File Not Found",                                   // 88
    "File Access Denied",                               // 89
    "File Already Exists",                              // 90
    "File Already Open",                                // 91
    "File Format Error",                                // 92
    "File Wrong Type",                                  // 93
    "Open Attempt To Open File",                        // 94
    "I/O Attempt To Open File",                         // 95
    "Write Attempt To Read-only File",                  // 96
    "Record Out Of Range",                              // 97
    "Too Many Open Files",                              // 98
    "Operation Aborted By User",                        // 99
    "Source Filespec Required",                         // 100
    "Destination Filespec Required",                    // 101
    "Maximum Open Count For File",                      // 102
    "Incompatible Source Device/File Type",             // 103
    "Incompatible Destination Device/File Type",        // 104
    "Device Timeout",                                   // 105
    "Protected File",                                   // 106
    "Illegal File Type",                                // 107
    "Illegal Device",                                   // 108
    "File Type Required",                               // 109
    "Device Required",                                  // 110
    "Channel Required",                                 // 111
    "Route Required",                                   // 112
    "Filename Required",                                // 113
    "Illegal Offset",                                   // 114
    "Illegal Count",                                    // 115
    "Source/Destination Cannot Be Same",                // 116
    "Duplicate Symbol",                                 // 117
    "File Mismatch",                                    // 118
    "Invalid Register Address",                         // 119
    "Invalid File Name",                                // 120
    "Write Data Error",                                 // 121
    "Insufficient Data For Write",                      // 122
    "Invalid Read Parameter",                           // 123
    "Communication Parity Error",                       // 124
    "Busy Data Transfer Or Weld In Progress",           // 125
    "Communication Overrun Error",                      // 126
    "Communication Framing Error",                      // 127
    "Dropped Unexpected Reply",                         // 128
    "Job Space Full",                                   // 129
    "Write Sequence Not Initiated",                     // 130
    "Memory Full",                                      // 131
    "No Data Found",                                    // 132
    "Cannot Stop Attached Batch Job",                   // 133
    "Illegal Communication To COMM Port",               // 134
    "Error Noted During A Transfer",                    // 135
};
static_assert(sizeof(kSymaxErrors) / sizeof(kSymaxErrors[0]) == 136);

// A status the table does not cover still names its code in "(%u) %s".
constexpr const char* kUnknownSymaxError = "Unknown Error Code";

// Indexed by the exception code minus 1.
constexpr const char* kModbusExceptions[] = {
    "ILLEGAL FUNCTION",
    "ILLEGAL DATA ADDRESS",
    "ILLEGAL DATA VALUE",
    "SLAVE DEVICE FAILURE",
    "ACKNOWLEDGE",
    "SLAVE DEVICE BUSY",
    "NEGATIVE ACKNOWLEDGE",
    "MEMORY PARITY ERROR",
    "Modbus error 9",
    "Modbus error 10",
    "DOWNSTREAM DEVICE DIDN'T RESPOND",
    "NO FREE MASTER PATH",
};
static_assert(sizeof(kModbusExceptions) / sizeof(kModbusExceptions[0]) == 12);

// Indexed by the adapter return code minus 1. No transport produces these
// codes; the table stays for the adapter link kind.
constexpr const char* kSa85Errors[] = {
    "Bad send or status buffer size",      // 1
    "SA85 error 2",                        // 2
    "Invalid NetBIOS command",             // 3
    "SA85 error 4",                        // 4
    "Timeout expired",                     // 5
    "SA85 error 7",                        // 6
    "Bad SA85 data path",                  // 7
    "SA85 out of internal memory",         // 8
    "Session closed",                      // 9
    "Command has been closed",             // 10
    "SA85 error 12",                       // 11
    "Name already exists for this PC",     // 12
    "Local name table full",               // 13
    "Can't delete name",                   // 14
    "SA85 error 16",                       // 15
    "Local session table full",            // 16
    "Remote unit not listening for call",  // 17
    "Bad NCB_NUM",                         // 18
    "Remote node not replying",            // 19
    "No such local name",                  // 20
    "Name in use elsewhere",               // 21
    "Name incorrectly deleted",            // 22
    "Session aborted abnormally",          // 23
    "Two or more identical names in use",  // 24
    "Bad NetBIOS packet",                  // 25
    "SA85 error 27",                       // 26
    "SA85 error 28",                       // 27
    "SA85 error 29",                       // 28
    "SA85 error 30",                       // 29
    "SA85 error 31",                       // 30
    "SA85 error 32",                       // 31
    "Network card is busy",                // 32
    "Too many NetBIOS commands queued",    // 33
    "Bad NCB_LANA_NUM",                    // 34
    "Command finished while cancelling",   // 35
    "Command can't be cancelled",          // 36
};
static_assert(sizeof(kSa85Errors) / sizeof(kSa85Errors[0]) == 36);

struct SocketErrorText {
  int error_number;
  const char* text;
  bool reconnect;
};

// The socket failures the programs know by name; the ones that mean the
// connection is gone make the link connect again.
constexpr SocketErrorText kSocketErrors[] = {
    {EFAULT, "Buffer overflow or protection fault", false},
    {EBADF, "Handle corruption S", false},
    {ENOTSOCK, "Handle corruption S", false},
    {EMSGSIZE, "Reply message too large", false},
    {ENETDOWN, "The network subsystem has failed", false},
    {ENETRESET, "Connection broken by keep-alive failure", true},
    {ECONNABORTED, "Circuit terminated by time-out or failure", true},
    {EPIPE, "Circuit terminated by time-out or failure", true},
    {ECONNRESET, "Circuit reset by peer", true},
    {ENOTCONN, "The socket is not connected", true},
    {ETIMEDOUT, "Connection dropped by network or peer failure", true},
};

}  // namespace

const char* SymaxErrorText(unsigned code) {
  return code < sizeof(kSymaxErrors) / sizeof(kSymaxErrors[0]) ? kSymaxErrors[code]
                                                               : kUnknownSymaxError;
}

const char* ModbusExceptionText(unsigned code) {
  return code >= 1 && code <= 12 ? kModbusExceptions[code - 1] : nullptr;
}

const char* Sa85ErrorText(unsigned code) {
  return code >= 1 && code <= 36 ? kSa85Errors[code - 1] : nullptr;
}

void SetSymaxStatusMessage(LinkHandle* handle, unsigned code) {
  SetMessageF(handle, "(%u) %s", code, SymaxErrorText(code));
}

void SetModbusSerialException(LinkHandle* handle, unsigned code) {
  const char* text = ModbusExceptionText(code);
  SetMessageF(handle, "Modbus error reply %u %s", code, text ? text : "");
}

void SetModbusTcpException(LinkHandle* handle, unsigned code) {
  if (const char* text = ModbusExceptionText(code))
    SetMessage(handle, text);
  else
    SetMessageF(handle, "Modbus error reply %u", code);
}

bool SetSocketErrorMessage(LinkHandle* handle, const char* prefix, int error_number) {
  for (const SocketErrorText& entry : kSocketErrors) {
    if (entry.error_number == error_number) {
      SetMessageF(handle, "%s%s", prefix, entry.text);
      return entry.reconnect;
    }
  }
  SetMessageF(handle, "%s WINSOCK error %d", prefix, error_number);
  return false;
}

}  // namespace linklib
