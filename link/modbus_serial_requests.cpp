// The register requests of Modbus RTU and ASCII links: holding registers
// (functions 3 and 16), input registers (function 4) and file records
// (functions 20 and 21), each checked against its reply before any value is
// handed back.
#include "link/frame_pool.h"
#include "link/link_messages.h"
#include "link/modbus_serial.h"
#include "link/protocols.h"
#include "link/reply_wait.h"

namespace linklib {
namespace {

// Writes a 16-bit field big-endian at the frame's fill point.
void PutWord(FrameBuffer* frame, uint32_t value) {
  frame->data[frame->length++] = static_cast<uint8_t>(value >> 8);
  frame->data[frame->length++] = static_cast<uint8_t>(value);
}

void PutByte(FrameBuffer* frame, uint32_t value) {
  frame->data[frame->length++] = static_cast<uint8_t>(value);
}

// A byte of the reply's data unit; nothing past its length is judged.
uint8_t ReplyByte(const FrameBuffer& reply, unsigned index) {
  return index < reply.length ? reply.data[index] : 0;
}

uint16_t ReplyWord(const FrameBuffer& reply, unsigned index) {
  return static_cast<uint16_t>(ReplyByte(reply, index) << 8 | ReplyByte(reply, index + 1));
}

bool IsRead(ModbusOperation operation) {
  return operation == ModbusOperation::kReadHolding || operation == ModbusOperation::kReadInput ||
         operation == ModbusOperation::kReadFile;
}

// Bytes of the request data unit.
uint32_t RequestLength(const ModbusRequest& request) {
  switch (request.operation) {
    case ModbusOperation::kReadHolding:
    case ModbusOperation::kReadInput:
      return 5;
    case ModbusOperation::kWriteHolding:
      return 6 + 2 * request.count;
    case ModbusOperation::kReadFile:
      return 10;
    case ModbusOperation::kWriteFile:
      return 9 + 2 * request.count;
  }
  return 0;
}

// Drop, exception and function checks shared by every reply.
bool CheckHeader(LinkHandle* h, const FrameBuffer& reply, uint8_t slave, uint8_t function,
                 bool read) {
  if (reply.address[0] != slave) {
    SetMessage(h, read ? "Read reply had wrong drop" : "Write reply had wrong drop");
    return false;
  }
  uint8_t reply_function = ReplyByte(reply, 0);
  if (reply_function & 0x80) {
    SetModbusSerialException(h, ReplyByte(reply, 1));
    return false;
  }
  if (reply_function != function) {
    SetMessage(h, read ? "Read reply had wrong opcode" : "Write reply had wrong opcode");
    return false;
  }
  return true;
}

bool CheckRegisterRead(LinkHandle* h, const ModbusRequest& request, uint8_t slave,
                       const FrameBuffer& reply, uint16_t* words) {
  uint32_t count = request.count;
  if (!CheckHeader(h, reply, slave, ModbusFunctionCode(request.operation), true)) return false;
  if (ReplyByte(reply, 1) != 2 * count || reply.length != 2 * count + 2) {
    SetMessage(h, "Read reply was wrong size");
    return false;
  }
  for (uint32_t i = 0; i < count; ++i) words[i] = ReplyWord(reply, 2 + 2 * i);
  return true;
}

bool CheckFileRead(LinkHandle* h, const ModbusRequest& request, uint8_t slave,
                   const FrameBuffer& reply, uint16_t* words) {
  uint32_t count = request.count;
  if (!CheckHeader(h, reply, slave, 0x14, true)) return false;
  if (ReplyByte(reply, 1) != 2 * count + 2) {
    SetMessage(h, "Read reply was wrong size (a)");
    return false;
  }
  if (ReplyByte(reply, 2) != 2 * count + 1) {
    SetMessage(h, "Read reply was wrong size (b)");
    return false;
  }
  if (ReplyByte(reply, 3) != request.reference_type) {
    SetMessage(h, "Read reply had wrong reference type");
    return false;
  }
  if (reply.length != 2 * count + 4) {
    SetMessage(h, "Read reply was wrong size (c)");
    return false;
  }
  for (uint32_t i = 0; i < count; ++i) words[i] = ReplyWord(reply, 4 + 2 * i);
  return true;
}

bool CheckWrite(LinkHandle* h, const ModbusRequest& request, uint8_t slave,
                const FrameBuffer& reply) {
  uint32_t expected_length =
      request.operation == ModbusOperation::kWriteHolding ? 5 : 2 * request.count + 9;
  if (reply.length != expected_length) {
    SetMessage(h, "Write reply was wrong size");
    return false;
  }
  return CheckHeader(h, reply, slave, ModbusFunctionCode(request.operation), false);
}

// Sends the request and waits for its reply; null when none came (the
// handle's message then says why).
FrameBuffer* ExchangeModbusFrame(LinkHandle* h, FrameBuffer* request, bool read) {
  h->reply_expected.store(1);
  DrainReplies(h);
  SendFrame(h, request);
  SetMessage(h, read ? "No reply to read command" : "No reply to write command");
  FrameBuffer* reply = WaitForReply(h, h->reply_timeout);
  h->reply_expected.store(0);
  return reply;
}

uint8_t SlaveAddress(const LinkHandle* h) { return static_cast<uint8_t>(h->route.count); }

}  // namespace

uint8_t ModbusFunctionCode(ModbusOperation operation) {
  switch (operation) {
    case ModbusOperation::kReadHolding:
      return 0x03;
    case ModbusOperation::kReadInput:
      return 0x04;
    case ModbusOperation::kWriteHolding:
      return 0x10;
    case ModbusOperation::kReadFile:
      return 0x14;
    case ModbusOperation::kWriteFile:
      return 0x15;
  }
  return 0;
}

bool ModbusRequestFits(const ModbusRequest& request) {
  return RequestLength(request) < sizeof(FrameBuffer::data);
}

void BuildModbusRequest(const ModbusRequest& request, uint8_t slave, FrameBuffer* frame) {
  frame->address[0] = slave;
  frame->length = 0;
  PutByte(frame, ModbusFunctionCode(request.operation));
  switch (request.operation) {
    case ModbusOperation::kReadHolding:
    case ModbusOperation::kReadInput:
      PutWord(frame, request.first - 1);
      PutWord(frame, request.count);
      break;
    case ModbusOperation::kWriteHolding:
      PutWord(frame, request.first - 1);
      PutWord(frame, request.count);
      PutByte(frame, 2 * request.count);
      for (uint32_t i = 0; i < request.count; ++i) PutWord(frame, request.values[i]);
      break;
    case ModbusOperation::kReadFile:
      PutByte(frame, 7);
      PutByte(frame, request.reference_type);
      PutWord(frame, request.file);
      PutWord(frame, request.first);
      PutWord(frame, request.count);
      break;
    case ModbusOperation::kWriteFile:
      PutByte(frame, 2 * request.count + 7);
      PutByte(frame, request.reference_type);
      PutWord(frame, request.file);
      PutWord(frame, request.first);
      PutWord(frame, request.count);
      for (uint32_t i = 0; i < request.count; ++i) PutWord(frame, request.values[i]);
      break;
  }
}

bool CheckModbusReply(LinkHandle* h, const ModbusRequest& request, uint8_t slave,
                      const FrameBuffer& reply, uint16_t* words) {
  switch (request.operation) {
    case ModbusOperation::kReadHolding:
    case ModbusOperation::kReadInput:
      return CheckRegisterRead(h, request, slave, reply, words);
    case ModbusOperation::kReadFile:
      return CheckFileRead(h, request, slave, reply, words);
    case ModbusOperation::kWriteHolding:
    case ModbusOperation::kWriteFile:
      return CheckWrite(h, request, slave, reply);
  }
  return false;
}

int RunModbusRequest(LinkHandle* h, const ModbusRequest& request, uint16_t* words) {
  if (request.count == 0) return 0;
  if (!ModbusRequestFits(request)) {
    // 128 file records and their header overrun a frame buffer.
    SetMessage(h, "Illegal read count");
    return 0;
  }
  FrameBuffer* frame = TakeRequestFrame(h);
  if (!frame) return 0;
  uint8_t slave = SlaveAddress(h);
  BuildModbusRequest(request, slave, frame);
  FrameBuffer* reply = ExchangeModbusFrame(h, frame, IsRead(request.operation));
  if (!reply) return 0;
  bool good = CheckModbusReply(h, request, slave, *reply, words);
  ReturnToPool(reply);
  return good ? static_cast<int>(request.count) : 0;
}

int ModbusSerialReadRegisters(LinkHandle* h, uint32_t first, uint32_t count, uint16_t* words) {
  ModbusRequest request;
  request.operation = ModbusOperation::kReadHolding;
  request.first = first;
  request.count = count;
  return RunModbusRequest(h, request, words);
}

int ModbusSerialWriteRegisters(LinkHandle* h, uint32_t first, uint32_t count,
                               const uint16_t* words) {
  ModbusRequest request;
  request.operation = ModbusOperation::kWriteHolding;
  request.first = first;
  request.count = count;
  request.values = words;
  return RunModbusRequest(h, request, nullptr);
}

int ModbusSerialReadFileRecords(LinkHandle* h, uint16_t file, uint32_t first, uint32_t count,
                                uint16_t* words) {
  ModbusRequest request;
  request.operation = ModbusOperation::kReadFile;
  request.reference_type = 6;
  request.file = file;
  request.first = first;
  request.count = count;
  return RunModbusRequest(h, request, words);
}

int ModbusSerialRead3X(LinkHandle* h, uint16_t file, uint32_t first, uint32_t count,
                       uint16_t* words) {
  ModbusRequest request;
  request.first = first;
  request.count = count;
  if (GetProgramStyle() == ProgramStyle::RegisterEditor) {
    request.operation = ModbusOperation::kReadInput;
  } else {
    request.operation = ModbusOperation::kReadFile;
    request.reference_type = 3;
    request.file = file;
  }
  return RunModbusRequest(h, request, words);
}

int ModbusSerialWriteFileRecords(LinkHandle* h, uint16_t file, uint32_t first, uint32_t count,
                                 const uint16_t* words) {
  ModbusRequest request;
  request.operation = ModbusOperation::kWriteFile;
  request.reference_type = 6;
  request.file = file;
  request.first = first;
  request.count = count;
  request.values = words;
  return RunModbusRequest(h, request, nullptr);
}

}  // namespace linklib
