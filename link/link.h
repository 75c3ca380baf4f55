// The link library: one interface to read and write 16-bit registers of a
// Sy/Max or Modbus device over a serial port or Modbus TCP. Every operation
// returns non-zero on success and 0 on failure; the failure's text stays in
// the handle and is read with LinkMessage.
#pragma once

#include <cstdint>

namespace linklib {

struct LinkHandle;

// A drop count and up to 8 drops; for Modbus kinds the first word is the
// slave (unit) address.
struct Route {
  uint16_t count = 0;
  uint16_t drops[8] = {};
};

// Called on every poll of a reply wait; 0 abandons the wait.
using WaitCallback = uint32_t (*)(uint32_t user);

enum LinkKind : uint32_t {
  kKindSymax = 1,
  kKindGateway = 2,
  kKindModbusRtu = 5,
  kKindModbusAscii = 6,
  kKindModbusTcp = 8,
};

// The three programs differ in two link details: the register editor opens
// Gateway and Modbus serial links with RTS raised only while sending, and its
// Read3XRegisters uses Modbus function 4 instead of a file-record read.
enum class ProgramStyle { Downloader, Environment, RegisterEditor };
void SetProgramStyle(ProgramStyle style);
ProgramStyle GetProgramStyle();

// Opens. Port names are "COMn:" (the n-th serial port) or a device path.
LinkHandle* OpenSymax(const char* port_name, uint8_t net_to_net, const Route* route);
LinkHandle* OpenGateway(const char* port_name, const Route* route);
LinkHandle* OpenModbusRTU(const char* port_name, uint16_t slave);
LinkHandle* OpenModbusAscii(const char* port_name, uint16_t slave);
LinkHandle* OpenModbusTCP(const char* host, uint16_t tcp_port, uint16_t unit);
// Adapter cards: no transport exists for them; these always fail.
LinkHandle* OpenSA85(int adapter, const Route* route);
LinkHandle* OpenSylink(uint32_t card_base, uint8_t net_to_net, const Route* route);
LinkHandle* OpenSFI610(const Route* route);
int SetSylinkSpeed(LinkHandle* handle, uint32_t speed, uint32_t size);

// Options.
int SetPortMode(LinkHandle* handle, uint32_t baud, int parity, int stop_bits,
                uint16_t reply_timeout, int data_bits);
int SetPortMode8(LinkHandle* handle, uint32_t baud, int parity, int stop_bits,
                 uint16_t reply_timeout);
int ParsePortSettings(const char* text, LinkHandle* handle);
int SetLinkOptions(LinkHandle* handle, int crc, int priority);
int SetWaitCallback(LinkHandle* handle, WaitCallback callback, uint32_t user);
const char* LinkMessage(const LinkHandle* handle);

// Register operations (registers numbered from 1, 1..128 per request).
int ReadRegisters(LinkHandle* handle, uint32_t first, uint32_t count, uint16_t* words);
int WriteRegisters(LinkHandle* handle, uint32_t first, uint32_t count, const uint16_t* words);
int RandomReadRegisters(LinkHandle* handle, const uint32_t* registers, uint32_t count,
                        uint16_t* words);
int ReadFileRecords(LinkHandle* handle, uint16_t file, uint32_t first, uint32_t count,
                    uint16_t* words);
int Read3XRegisters(LinkHandle* handle, uint16_t file, uint32_t first, uint32_t count,
                    uint16_t* words);
int WriteFileRecords(LinkHandle* handle, uint16_t file, uint32_t first, uint32_t count,
                     const uint16_t* words);
int CloseLink(LinkHandle* handle);

}  // namespace linklib
