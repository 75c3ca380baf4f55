// Placeholder: the opens, options, validation and dispatch land here.
#include "link/protocols.h"
#include "link/serial_port.h"

namespace linklib {
namespace { ProgramStyle program_style = ProgramStyle::Downloader; }
void SetProgramStyle(ProgramStyle style) { program_style = style; }
ProgramStyle GetProgramStyle() { return program_style; }
LinkHandle* OpenSA85(int, const Route*) { return nullptr; }
LinkHandle* OpenSylink(uint32_t, uint8_t, const Route*) { return nullptr; }
LinkHandle* OpenSFI610(const Route*) { return nullptr; }
int SetSylinkSpeed(LinkHandle*, uint32_t, uint32_t) { return 0; }
int SetLinkOptions(LinkHandle*, int, int) { return 0; }
int SetWaitCallback(LinkHandle*, WaitCallback, uint32_t) { return 0; }
const char* LinkMessage(const LinkHandle* h) { return IsValidHandle(h) ? h->message : "Handle not valid"; }
int ReadRegisters(LinkHandle*, uint32_t, uint32_t, uint16_t*) { return 0; }
int WriteRegisters(LinkHandle*, uint32_t, uint32_t, const uint16_t*) { return 0; }
int RandomReadRegisters(LinkHandle*, const uint32_t*, uint32_t, uint16_t*) { return 0; }
int ReadFileRecords(LinkHandle*, uint16_t, uint32_t, uint32_t, uint16_t*) { return 0; }
int Read3XRegisters(LinkHandle*, uint16_t, uint32_t, uint32_t, uint16_t*) { return 0; }
int WriteFileRecords(LinkHandle*, uint16_t, uint32_t, uint32_t, const uint16_t*) { return 0; }
int CloseLink(LinkHandle*) { return 1; }
}  // namespace linklib
