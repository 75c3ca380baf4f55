#include "kxtsim/symax_requests.h"

#include <cstdio>

namespace kxtsim {
namespace {

constexpr uint8_t kRead = 0x00;
constexpr uint8_t kWrite = 0x02;
constexpr uint8_t kRandomRead = 0x04;
constexpr uint8_t kPriorityWrite = 0x1E;
constexpr uint8_t kPriorityRead = 0x20;
constexpr uint8_t kReadReply = 0x86;
constexpr uint8_t kWriteReply = 0x80;
constexpr uint8_t kRandomReadReply = 0x8A;
constexpr uint8_t kPriorityReadReply = 0x90;
constexpr uint8_t kPriorityWriteReply = 0x92;
constexpr uint8_t kErrorReply = 0xA2;
constexpr uint32_t kMaxRegisters = 128;

uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

void PutWord(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value & 0xFF));
}

// Register number of a byte address; 0 when the address is odd.
uint32_t RegisterOf(uint16_t address) { return (address & 1) ? 0 : address / 2u + 1u; }

bool Addressable(uint32_t reg) { return reg >= 1 && reg <= kHighestSymaxAddressable; }

uint16_t ReadOne(ModuleModel& model, uint32_t reg) {
  uint16_t value = 0;
  if (reg > kStatusWordOffset) {
    model.ReadStatusWords(reg - kStatusWordOffset, 1, &value);
  } else {
    model.ReadRegisters(reg, 1, &value);
  }
  return value;
}

void WriteOne(ModuleModel& model, uint32_t reg, uint16_t value) {
  if (reg > kStatusWordOffset) {
    model.WriteStatusWords(reg - kStatusWordOffset, 1, &value);
  } else {
    model.WriteRegisters(reg, 1, &value);
  }
}

// Checks a run of registers; 0 when it is served.
uint8_t RunStatus(uint32_t first, uint32_t count) {
  if (count > kMaxRegisters) return kStatusRegisterCountTooLarge;
  if (first == 0 || !Addressable(first) || !Addressable(first + count - 1)) {
    return kStatusIllegalAddress;
  }
  return 0;
}

void Describe(std::string* description, const char* what, uint32_t first, uint32_t count) {
  if (description == nullptr) return;
  char text[80];
  std::snprintf(text, sizeof text, "%s %u x%u", what, first, count);
  *description = text;
}

std::vector<uint8_t> ErrorReply(uint8_t transaction, uint8_t status) {
  return {kErrorReply, transaction, status, 0x00};
}

// Priority replies carry the status in their own form.
std::vector<uint8_t> PriorityReply(uint8_t opcode, uint8_t transaction, uint8_t status,
                                   uint16_t address) {
  std::vector<uint8_t> reply{opcode, transaction, 0x00, 0x00, status};
  PutWord(reply, address);
  return reply;
}

}  // namespace

std::vector<uint8_t> ServeSymaxRequest(ModuleModel& model, ReplyFaults& faults, const uint8_t* data,
                                       size_t length, std::string* description) {
  if (length < 2) {
    if (description) *description = "short request";
    return ErrorReply(0, kStatusInsufficientData);
  }
  uint8_t opcode = data[0];
  uint8_t transaction = data[1];
  auto fail = [&](uint8_t status, uint16_t address) {
    if (opcode == kPriorityRead)
      return PriorityReply(kPriorityReadReply, transaction, status, address);
    if (opcode == kPriorityWrite)
      return PriorityReply(kPriorityWriteReply, transaction, status, address);
    return ErrorReply(transaction, status);
  };

  switch (opcode) {
    case kRead:
    case kPriorityRead: {
      size_t needed = opcode == kRead ? 6 : 9;
      if (length < needed) return fail(kStatusInsufficientData, 0);
      uint16_t address = opcode == kRead ? Word(data + 2) : Word(data + 5);
      uint32_t count = (opcode == kRead ? data[5] : data[8]) + 1u;
      uint32_t first = RegisterOf(address);
      Describe(description, opcode == kRead ? "read" : "priority read", first, count);
      if (faults.NextRequestGetsError()) {
        return fail(static_cast<uint8_t>(faults.options().error_status), address);
      }
      if (uint8_t status = RunStatus(first, count); status != 0) return fail(status, address);
      std::vector<uint8_t> reply;
      if (opcode == kRead) {
        reply = {kReadReply, transaction};
        PutWord(reply, address);
      } else {
        reply = PriorityReply(kPriorityReadReply, transaction, 0, address);
      }
      for (uint32_t i = 0; i < count; ++i) PutWord(reply, ReadOne(model, first + i));
      return reply;
    }
    case kWrite:
    case kPriorityWrite: {
      // Plain: opcode, T, address, words, FF FF. Priority: opcode, T, 0,
      // address, words.
      size_t header = opcode == kWrite ? 4 : 5;
      size_t trailer = opcode == kWrite ? 2 : 0;
      if (length < header + trailer + 2 || (length - header - trailer) % 2 != 0 ||
          (trailer != 0 && (data[length - 2] != 0xFF || data[length - 1] != 0xFF))) {
        if (description) *description = "malformed write";
        return fail(kStatusInsufficientData, 0);
      }
      uint16_t address = opcode == kWrite ? Word(data + 2) : Word(data + 3);
      uint32_t count = static_cast<uint32_t>((length - header - trailer) / 2);
      uint32_t first = RegisterOf(address);
      Describe(description, opcode == kWrite ? "write" : "priority write", first, count);
      if (faults.NextRequestGetsError()) {
        return fail(static_cast<uint8_t>(faults.options().error_status), address);
      }
      if (uint8_t status = RunStatus(first, count); status != 0) return fail(status, address);
      for (uint32_t i = 0; i < count; ++i) {
        WriteOne(model, first + i, Word(data + header + 2 * i));
      }
      if (opcode == kWrite) {
        std::vector<uint8_t> reply{kWriteReply, transaction};
        PutWord(reply, address);
        return reply;
      }
      return PriorityReply(kPriorityWriteReply, transaction, 0, address);
    }
    case kRandomRead: {
      if (length < 4 || (length - 2) % 2 != 0) return fail(kStatusInsufficientData, 0);
      uint32_t count = static_cast<uint32_t>((length - 2) / 2);
      Describe(description, "random read", RegisterOf(Word(data + 2)), count);
      if (faults.NextRequestGetsError()) {
        return fail(static_cast<uint8_t>(faults.options().error_status), 0);
      }
      if (count > kMaxRegisters) return fail(kStatusRegisterCountTooLarge, 0);
      for (uint32_t i = 0; i < count; ++i) {
        if (!Addressable(RegisterOf(Word(data + 2 + 2 * i)))) {
          return fail(kStatusIllegalAddress, 0);
        }
      }
      std::vector<uint8_t> reply{kRandomReadReply, transaction};
      for (uint32_t i = 0; i < count; ++i) {
        PutWord(reply, ReadOne(model, RegisterOf(Word(data + 2 + 2 * i))));
      }
      return reply;
    }
    default:
      if (description) {
        char text[40];
        std::snprintf(text, sizeof text, "opcode 0x%02X (not served)", opcode);
        *description = text;
      }
      return fail(kStatusIllegalOpcode, 0);
  }
}

}  // namespace kxtsim
