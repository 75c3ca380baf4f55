#include "kxtsim/modbus_pdu.h"

#include <cstdio>

namespace kxtsim {
namespace {

constexpr uint8_t kReadHolding = 0x03;
constexpr uint8_t kReadInput = 0x04;
constexpr uint8_t kWriteMultiple = 0x10;
constexpr uint8_t kReadFileRecord = 0x14;
constexpr uint8_t kWriteFileRecord = 0x15;
constexpr uint8_t kReferenceType = 6;
// Reference type 3 reads the input registers as file records; the record
// number is the register number.
constexpr uint8_t kInputReferenceType = 3;
constexpr size_t kSubRequestBytes = 7;

uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

void PutWord(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value & 0xFF));
}

void Describe(std::string* description, const char* format, unsigned a, unsigned b,
              unsigned c = 0) {
  if (description == nullptr) return;
  char text[96];
  std::snprintf(text, sizeof text, format, a, b, c);
  *description = text;
}

uint8_t ExceptionFor(Access access) {
  return access == Access::IllegalValue ? kExceptionIllegalDataValue : kExceptionIllegalDataAddress;
}

std::vector<uint8_t> ReadRegisters(ModuleModel& model, const uint8_t* request, size_t length,
                                   std::string* description) {
  uint8_t function = request[0];
  if (length != 5) return ModbusException(function, kExceptionIllegalDataValue);
  uint32_t first = Word(request + 1) + 1u;
  uint32_t count = Word(request + 3);
  Describe(description, function == kReadHolding ? "read holding %u x%u" : "read input %u x%u",
           first, count);
  if (count == 0 || count > kMaxModbusRegisters) {
    return ModbusException(function, kExceptionIllegalDataValue);
  }
  uint16_t words[kMaxModbusRegisters];
  Access access = model.ReadRegisters(first, count, words);
  if (access != Access::Ok) return ModbusException(function, ExceptionFor(access));
  std::vector<uint8_t> reply{function, static_cast<uint8_t>((2 * count) & 0xFF)};
  for (uint32_t i = 0; i < count; ++i) PutWord(reply, words[i]);
  return reply;
}

std::vector<uint8_t> WriteRegisters(ModuleModel& model, const uint8_t* request, size_t length,
                                    std::string* description) {
  if (length < 6) return ModbusException(kWriteMultiple, kExceptionIllegalDataValue);
  uint32_t first = Word(request + 1) + 1u;
  uint32_t count = Word(request + 3);
  Describe(description, "write %u x%u", first, count);
  if (count == 0 || count > kMaxModbusRegisters || request[5] != ((2 * count) & 0xFF) ||
      length != 6 + 2 * count) {
    return ModbusException(kWriteMultiple, kExceptionIllegalDataValue);
  }
  uint16_t words[kMaxModbusRegisters];
  for (uint32_t i = 0; i < count; ++i) words[i] = Word(request + 6 + 2 * i);
  Access access = model.WriteRegisters(first, count, words);
  if (access != Access::Ok) return ModbusException(kWriteMultiple, ExceptionFor(access));
  return std::vector<uint8_t>(request, request + 5);
}

// One sub-request of a file-record read: reference type, file, record, count.
Access ReadRecords(ModuleModel& model, const uint8_t* sub, uint16_t* words, uint32_t& count) {
  uint8_t type = sub[0];
  uint16_t file = Word(sub + 1);
  uint32_t record = Word(sub + 3);
  count = Word(sub + 5);
  if (count == 0 || count > kMaxModbusRegisters) return Access::IllegalValue;
  if (type == kReferenceType) return model.ReadFileRecords(file, record, count, words);
  if (type == kInputReferenceType) return model.ReadRegisters(record, count, words);
  return Access::IllegalAddress;
}

std::vector<uint8_t> ReadFileRecord(ModuleModel& model, const uint8_t* request, size_t length,
                                    std::string* description) {
  if (length < 2) return ModbusException(kReadFileRecord, kExceptionIllegalDataValue);
  size_t data_length = request[1];
  if (data_length == 0 || data_length % kSubRequestBytes != 0 || length != 2 + data_length) {
    return ModbusException(kReadFileRecord, kExceptionIllegalDataValue);
  }
  Describe(description, "read file records type %u file %u record %u", request[2],
           Word(request + 3), Word(request + 5));
  std::vector<uint8_t> reply{kReadFileRecord, 0};
  for (size_t at = 2; at < length; at += kSubRequestBytes) {
    uint16_t words[kMaxModbusRegisters];
    uint32_t count = 0;
    Access access = ReadRecords(model, request + at, words, count);
    if (access != Access::Ok) return ModbusException(kReadFileRecord, ExceptionFor(access));
    // A reply longer than a length byte can say carries the low byte, as
    // the module has always done for the largest requests.
    reply.push_back(static_cast<uint8_t>((2 * count + 1) & 0xFF));
    reply.push_back(request[at]);
    for (uint32_t i = 0; i < count; ++i) PutWord(reply, words[i]);
  }
  reply[1] = static_cast<uint8_t>((reply.size() - 2) & 0xFF);
  return reply;
}

std::vector<uint8_t> WriteFileRecord(ModuleModel& model, const uint8_t* request, size_t length,
                                     std::string* description) {
  if (length < 2 + kSubRequestBytes) {
    return ModbusException(kWriteFileRecord, kExceptionIllegalDataValue);
  }
  Describe(description, "write file records type %u file %u record %u", request[2],
           Word(request + 3), Word(request + 5));
  // Walk the sub-requests first: nothing is stored unless all are sound.
  struct Sub {
    uint16_t file;
    uint32_t record;
    uint32_t count;
    const uint8_t* words;
  };
  std::vector<Sub> subs;
  size_t at = 2;
  while (at < length) {
    if (length - at < kSubRequestBytes) {
      return ModbusException(kWriteFileRecord, kExceptionIllegalDataValue);
    }
    const uint8_t* sub = request + at;
    uint32_t count = Word(sub + 5);
    if (count == 0 || count > kMaxModbusRegisters || length - at - kSubRequestBytes < 2 * count) {
      return ModbusException(kWriteFileRecord, kExceptionIllegalDataValue);
    }
    if (sub[0] != kReferenceType) {
      return ModbusException(kWriteFileRecord, kExceptionIllegalDataAddress);
    }
    subs.push_back({Word(sub + 1), Word(sub + 3), count, sub + kSubRequestBytes});
    at += kSubRequestBytes + 2 * count;
  }
  // The length byte holds the low byte of the data length (it may exceed 255
  // for the largest requests).
  if (request[1] != ((length - 2) & 0xFF)) {
    return ModbusException(kWriteFileRecord, kExceptionIllegalDataValue);
  }
  for (const Sub& sub : subs) {
    if (sub.record + sub.count > kFileRecordsPerBank) {
      return ModbusException(kWriteFileRecord, kExceptionIllegalDataAddress);
    }
  }
  for (const Sub& sub : subs) {
    uint16_t words[kMaxModbusRegisters];
    for (uint32_t i = 0; i < sub.count; ++i) words[i] = Word(sub.words + 2 * i);
    model.WriteFileRecords(sub.file, sub.record, sub.count, words);
  }
  return std::vector<uint8_t>(request, request + length);
}

}  // namespace

std::vector<uint8_t> ModbusException(uint8_t function, uint8_t code) {
  return {static_cast<uint8_t>(function | 0x80), code};
}

std::vector<uint8_t> ServeModbusPdu(ModuleModel& model, const uint8_t* request, size_t length,
                                    std::string* description) {
  if (length == 0) return {};
  uint8_t function = request[0];
  switch (function) {
    case kReadHolding:
    case kReadInput:
      return ReadRegisters(model, request, length, description);
    case kWriteMultiple:
      return WriteRegisters(model, request, length, description);
    case kReadFileRecord:
      return ReadFileRecord(model, request, length, description);
    case kWriteFileRecord:
      return WriteFileRecord(model, request, length, description);
    default:
      Describe(description, "function %u (not served)", function, 0);
      return ModbusException(function, kExceptionIllegalFunction);
  }
}

}  // namespace kxtsim
