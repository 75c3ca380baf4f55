// Validation of every register operation and its dispatch on the link kind.
#include "link/protocols.h"

namespace linklib {
namespace {

constexpr uint32_t kMaxCount = 128;
// Sy/Max and Gateway devices address registers 1..16384.
constexpr uint64_t kSymaxLastRegister = 16384;
// A Modbus register r travels as the 16-bit address r - 1.
constexpr uint64_t kModbusLastRegister = 65536;
// A Modbus file record number travels as a 16-bit word.
constexpr uint32_t kModbusLastRecord = 65535;

enum class Direction { Read, Write };

const char* RegisterText(Direction d) {
  return d == Direction::Read ? "Illegal read register" : "Illegal write register";
}
const char* CountText(Direction d) {
  return d == Direction::Read ? "Illegal read count" : "Illegal write count";
}

bool IsSerialCardOrSymaxKind(uint32_t kind) { return kind < kKindModbusRtu; }
bool IsModbusKind(uint32_t kind) {
  return kind == kKindModbusRtu || kind == kKindModbusAscii || kind == kKindModbusTcp;
}

// The checks shared by ReadRegisters and WriteRegisters; false with the
// message set when the request is refused.
bool ValidateRun(LinkHandle* h, uint32_t first, uint32_t count, Direction d) {
  uint64_t last = uint64_t{first} + count - 1;
  if (IsSerialCardOrSymaxKind(h->kind) && (first < 1 || last > kSymaxLastRegister)) {
    SetMessage(h, RegisterText(d));
    return false;
  }
  if (count < 1 || count > kMaxCount) {
    SetMessage(h, CountText(d));
    return false;
  }
  // Register 0 or one past 65536 would wrap to another register's address.
  if (IsModbusKind(h->kind) && (first < 1 || first > kModbusLastRegister)) {
    SetMessage(h, RegisterText(d));
    return false;
  }
  return true;
}

// The checks of the file-record and 3X operations (the write uses the read
// texts, as its callers expect).
bool ValidateRecords(LinkHandle* h, uint32_t first, uint32_t count, bool register_numbered) {
  if (count < 1 || count > kMaxCount) {
    SetMessage(h, "Illegal read count");
    return false;
  }
  if (IsModbusKind(h->kind)) {
    bool fits =
        register_numbered ? first >= 1 && first <= kModbusLastRegister : first <= kModbusLastRecord;
    if (!fits) {
      SetMessage(h, "Illegal read register");
      return false;
    }
  }
  return true;
}

// Kinds 3 and 4 (adapter cards) are never produced: a request on one fails
// and leaves the message as it was.
bool IsAdapterCardKind(uint32_t kind) { return kind == 3 || kind == 4; }

int HandleCorrupt(LinkHandle* h) {
  SetMessage(h, "Handle corruption 3");
  return 0;
}

bool IsRegisterEditorRead3X() { return GetProgramStyle() == ProgramStyle::RegisterEditor; }

}  // namespace

int ReadRegisters(LinkHandle* h, uint32_t first, uint32_t count, uint16_t* words) {
  if (!IsValidHandle(h)) return 0;
  if (!ValidateRun(h, first, count, Direction::Read)) return 0;
  switch (h->kind) {
    case kKindSymax:
      return SymaxReadRegisters(h, first, count, words);
    case kKindGateway:
      return GatewayReadRegisters(h, first, count, words);
    case kKindModbusRtu:
    case kKindModbusAscii:
      return ModbusSerialReadRegisters(h, first, count, words);
    case kKindModbusTcp:
      return ModbusTcpReadRegisters(h, first, count, words);
    default:
      return IsAdapterCardKind(h->kind) ? 0 : HandleCorrupt(h);
  }
}

int WriteRegisters(LinkHandle* h, uint32_t first, uint32_t count, const uint16_t* words) {
  if (!IsValidHandle(h)) return 0;
  if (!ValidateRun(h, first, count, Direction::Write)) return 0;
  switch (h->kind) {
    case kKindSymax:
      return SymaxWriteRegisters(h, first, count, words);
    case kKindGateway:
      return GatewayWriteRegisters(h, first, count, words);
    case kKindModbusRtu:
    case kKindModbusAscii:
      return ModbusSerialWriteRegisters(h, first, count, words);
    case kKindModbusTcp:
      return ModbusTcpWriteRegisters(h, first, count, words);
    default:
      return IsAdapterCardKind(h->kind) ? 0 : HandleCorrupt(h);
  }
}

int RandomReadRegisters(LinkHandle* h, const uint32_t* registers, uint32_t count, uint16_t* words) {
  if (!IsValidHandle(h)) return 0;
  if (count < 1 || count > kMaxCount) {
    SetMessage(h, "Illegal read count");
    return 0;
  }
  switch (h->kind) {
    case kKindSymax:
      return SymaxRandomRead(h, registers, count, words);
    case kKindGateway:
      return GatewayRandomRead(h, registers, count, words);
    case 5:
    case 6:
    case 7:
    case 8:
      SetMessage(h, "Random read not supported in Modbus");
      return 0;
    default:
      return IsAdapterCardKind(h->kind) ? 0 : HandleCorrupt(h);
  }
}

int ReadFileRecords(LinkHandle* h, uint16_t file, uint32_t first, uint32_t count, uint16_t* words) {
  if (!IsValidHandle(h)) return 0;
  if (!ValidateRecords(h, first, count, false)) return 0;
  switch (h->kind) {
    case kKindModbusRtu:
    case kKindModbusAscii:
      return ModbusSerialReadFileRecords(h, file, first, count, words);
    case kKindModbusTcp:
      return ModbusTcpReadFileRecords(h, file, first, count, words);
    default:
      return h->kind >= 1 && h->kind <= 4 ? 0 : HandleCorrupt(h);
  }
}

int Read3XRegisters(LinkHandle* h, uint16_t file, uint32_t first, uint32_t count, uint16_t* words) {
  if (!IsValidHandle(h)) return 0;
  if (!ValidateRecords(h, first, count, IsRegisterEditorRead3X())) return 0;
  switch (h->kind) {
    case kKindModbusRtu:
    case kKindModbusAscii:
      return ModbusSerialRead3X(h, file, first, count, words);
    case kKindModbusTcp:
      return ModbusTcpRead3X(h, file, first, count, words);
    default:
      return h->kind >= 1 && h->kind <= 4 ? 0 : HandleCorrupt(h);
  }
}

int WriteFileRecords(LinkHandle* h, uint16_t file, uint32_t first, uint32_t count,
                     const uint16_t* words) {
  if (!IsValidHandle(h)) return 0;
  if (!ValidateRecords(h, first, count, false)) return 0;
  switch (h->kind) {
    case kKindModbusRtu:
    case kKindModbusAscii:
      return ModbusSerialWriteFileRecords(h, file, first, count, words);
    case kKindModbusTcp:
      return ModbusTcpWriteFileRecords(h, file, first, count, words);
    default:
      return h->kind >= 1 && h->kind <= 4 ? 0 : HandleCorrupt(h);
  }
}

}  // namespace linklib
