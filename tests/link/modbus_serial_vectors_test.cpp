// Modbus RTU and ASCII byte by byte: frames on the wire, the checks of every
// reply, and the receivers' handling of damaged, overlong and stray replies.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "link/modbus_checks.h"
#include "link/modbus_serial.h"
#include "link/protocols.h"
#include "tests/link/scripted_line.h"

namespace linklib {
namespace {

using testing::Bytes;
using testing::Hex;
using testing::ScriptedLine;
using testing::Text;

constexpr uint8_t kRtu = 5;
constexpr uint8_t kAscii = 6;

// Frame checks computed bit by bit, apart from the library's table.
Bytes WithCrc(Bytes frame) {
  uint16_t crc = 0xFFFF;
  for (uint8_t b : frame) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  frame.push_back(crc & 0xFF);
  frame.push_back(crc >> 8);
  return frame;
}

Bytes AsAscii(const Bytes& frame) {
  static const char* kDigits = "0123456789ABCDEF";
  std::string text = ":";
  uint8_t sum = 0;
  for (uint8_t b : frame) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
    sum += b;
  }
  uint8_t lrc = static_cast<uint8_t>(-sum);
  text += kDigits[lrc >> 4];
  text += kDigits[lrc & 15];
  text += "\r\n";
  return Text(text);
}

Bytes OnWire(uint8_t mode, const Bytes& frame) {
  return mode == kRtu ? WithCrc(frame) : AsAscii(frame);
}

TEST(ModbusChecks, MatchPublishedExamples) {
  Bytes read = Hex("11 03 00 6B 00 03");
  EXPECT_EQ(ModbusCrc(read.data(), read.size()), 0x8776);
  Bytes framed = Hex("11 03 00 6B 00 03 76 87");
  EXPECT_EQ(ModbusCrc(framed.data(), framed.size()), 0);
  EXPECT_EQ(ModbusLrc(read.data(), read.size()), 0x7E);
  EXPECT_EQ(AsciiDigitValue('7'), 7);
  EXPECT_EQ(AsciiDigitValue('F'), 15);
  EXPECT_EQ(AsciiDigitValue('f'), 0);
  EXPECT_EQ(AsciiDigitValue(':'), 0);
}

// The two framings of one request, pinned byte for byte.
TEST(ModbusFraming, ReadRequestOnTheWire) {
  for (uint8_t mode : {kRtu, kAscii}) {
    ScriptedLine line(mode, 0x11);
    line.h->reply_timeout = 1;
    uint16_t words[3];
    EXPECT_EQ(ModbusSerialReadRegisters(line.h, 108, 3, words), 0);
    Bytes expected = mode == kRtu ? Hex("11 03 00 6B 00 03 76 87") : Text(":1103006B00037E\r\n");
    EXPECT_EQ(line.TakeSent(), expected) << "mode " << int(mode);
    EXPECT_STREQ(line.h->message, "No reply to read command");
  }
}

struct ExchangeCase {
  const char* name;
  ProgramStyle style;
  std::function<int(LinkHandle*, uint16_t*)> call;
  const char* request;  // address and data unit
  const char* reply;
  std::vector<uint16_t> words;  // expected from reads
};

const uint16_t kWriteValues[] = {0x000A, 0x0102};
const uint16_t kRecordValues[] = {0x06AF, 0x04BE};

const ExchangeCase kExchanges[] = {
    {"read holding registers",
     ProgramStyle::Downloader,
     [](LinkHandle* h, uint16_t* w) { return ModbusSerialReadRegisters(h, 108, 3, w); },
     "11 03 00 6B 00 03",
     "11 03 06 02 2B 00 00 00 64",
     {0x022B, 0x0000, 0x0064}},
    {"write holding registers",
     ProgramStyle::Downloader,
     [](LinkHandle* h, uint16_t*) { return ModbusSerialWriteRegisters(h, 2, 2, kWriteValues); },
     "11 10 00 01 00 02 04 00 0A 01 02",
     "11 10 00 01 00 02",
     {}},
    {"read file records",
     ProgramStyle::Downloader,
     [](LinkHandle* h, uint16_t* w) { return ModbusSerialReadFileRecords(h, 4, 1, 2, w); },
     "11 14 07 06 00 04 00 01 00 02",
     "11 14 06 05 06 0D FE 00 20",
     {0x0DFE, 0x0020}},
    {"write file records",
     ProgramStyle::Downloader,
     [](LinkHandle* h, uint16_t*) {
       return ModbusSerialWriteFileRecords(h, 4, 7, 2, kRecordValues);
     },
     "11 15 0B 06 00 04 00 07 00 02 06 AF 04 BE",
     "11 15 0B 06 00 04 00 07 00 02 06 AF 04 BE",
     {}},
    {"3X read as file records of reference type 3",
     ProgramStyle::Environment,
     [](LinkHandle* h, uint16_t* w) { return ModbusSerialRead3X(h, 3, 10, 1, w); },
     "11 14 07 03 00 03 00 0A 00 01",
     "11 14 04 03 03 12 34",
     {0x1234}},
    {"register editor's 3X read with function 4",
     ProgramStyle::RegisterEditor,
     [](LinkHandle* h, uint16_t* w) { return ModbusSerialRead3X(h, 3, 10, 1, w); },
     "11 04 00 09 00 01",
     "11 04 02 12 34",
     {0x1234}},
};

TEST(ModbusFraming, EveryRequestAndItsGoodReplyInBothFramings) {
  for (uint8_t mode : {kRtu, kAscii}) {
    for (const ExchangeCase& c : kExchanges) {
      SCOPED_TRACE(std::string(c.name) + (mode == kRtu ? " RTU" : " ASCII"));
      SetProgramStyle(c.style);
      ScriptedLine line(mode, 0x11);
      line.Reply(OnWire(mode, Hex(c.reply)));
      uint16_t words[8] = {};
      int expected_result = c.words.empty() ? 2 : static_cast<int>(c.words.size());
      EXPECT_EQ(c.call(line.h, words), expected_result) << line.h->message;
      EXPECT_EQ(line.TakeSent(), OnWire(mode, Hex(c.request)));
      EXPECT_EQ(std::vector<uint16_t>(words, words + c.words.size()), c.words);
      EXPECT_EQ(line.h->reply_expected.load(), 0);
    }
  }
  SetProgramStyle(ProgramStyle::Downloader);
}

// Replies judged against their request: every check, in its order.
struct ReplyCase {
  const char* name;
  ModbusRequest request;
  const char* reply;  // address and data unit
  const char* message;
};

ModbusRequest Request(ModbusOperation operation, uint32_t count, uint8_t reference_type = 6) {
  static const uint16_t kValues[128] = {};
  ModbusRequest r;
  r.operation = operation;
  r.count = count;
  r.reference_type = reference_type;
  r.values = kValues;
  return r;
}

std::string Repeat(const char* hex_byte, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) (s += hex_byte) += " ";
  return s;
}

const ModbusOperation kRead = ModbusOperation::kReadHolding;
const ModbusOperation kFileRead = ModbusOperation::kReadFile;
const ModbusOperation kWrite = ModbusOperation::kWriteHolding;
const ModbusOperation kFileWrite = ModbusOperation::kWriteFile;

const std::string k128Words = "01 03 00 " + Repeat("AA", 256);
const std::string k127Records = "01 14 00 FF 06 " + Repeat("AA", 254);

const ReplyCase kReplies[] = {
    {"read from another slave", Request(kRead, 1), "02 03 02 00 01", "Read reply had wrong drop"},
    {"drop is judged before the exception", Request(kRead, 1), "02 83 02",
     "Read reply had wrong drop"},
    {"exception 2", Request(kRead, 1), "01 83 02", "Modbus error reply 2 ILLEGAL DATA ADDRESS"},
    {"exception 11", Request(kRead, 1), "01 83 0B",
     "Modbus error reply 11 DOWNSTREAM DEVICE DIDN'T RESPOND"},
    {"exception 13 has no text", Request(kRead, 1), "01 83 0D", "Modbus error reply 13 "},
    {"exception without its code", Request(kRead, 1), "01 83", "Modbus error reply 0 "},
    {"read opcode", Request(kRead, 1), "01 04 02 00 01", "Read reply had wrong opcode"},
    {"empty read reply", Request(kRead, 1), "01", "Read reply had wrong opcode"},
    {"read byte count", Request(kRead, 2), "01 03 02 00 01 00 02", "Read reply was wrong size"},
    {"read length", Request(kRead, 2), "01 03 04 00 01 00", "Read reply was wrong size"},
    {"128 registers cannot be counted in a byte", Request(kRead, 128), k128Words.c_str(),
     "Read reply was wrong size"},
    {"function 4 reply to a function 4 read", Request(ModbusOperation::kReadInput, 1),
     "01 03 02 00 01", "Read reply had wrong opcode"},
    {"file read exception", Request(kFileRead, 1), "01 94 04",
     "Modbus error reply 4 SLAVE DEVICE FAILURE"},
    {"file read opcode", Request(kFileRead, 1), "01 15 04 03 06 00 01",
     "Read reply had wrong opcode"},
    {"file response data length", Request(kFileRead, 1), "01 14 05 03 06 00 01",
     "Read reply was wrong size (a)"},
    {"file response length", Request(kFileRead, 1), "01 14 04 04 06 00 01",
     "Read reply was wrong size (b)"},
    {"reference type", Request(kFileRead, 1, 6), "01 14 04 03 03 00 01",
     "Read reply had wrong reference type"},
    {"file read length", Request(kFileRead, 1), "01 14 04 03 06 00",
     "Read reply was wrong size (c)"},
    {"127 records cannot be counted in a byte", Request(kFileRead, 127), k127Records.c_str(),
     "Read reply was wrong size (a)"},
    {"write exception is judged by its size first", Request(kWrite, 1), "01 90 02",
     "Write reply was wrong size"},
    {"write from another slave", Request(kWrite, 1), "03 10 00 00 00 01",
     "Write reply had wrong drop"},
    {"write exception of full size", Request(kWrite, 1), "01 90 04 00 00 00",
     "Modbus error reply 4 SLAVE DEVICE FAILURE"},
    {"write opcode", Request(kWrite, 1), "01 06 00 00 00 01", "Write reply had wrong opcode"},
    {"file write size", Request(kFileWrite, 1), "01 15 09 06 00 00 00 00 00 01 00",
     "Write reply was wrong size"},
    {"file write drop", Request(kFileWrite, 1), "02 15 09 06 00 00 00 00 00 01 00 00",
     "Write reply had wrong drop"},
    {"file write opcode", Request(kFileWrite, 1), "01 10 09 06 00 00 00 00 00 01 00 00",
     "Write reply had wrong opcode"},
};

TEST(ModbusReplyChecks, EachFaultHasItsMessage) {
  LinkHandle* h = AllocateHandle();
  for (const ReplyCase& c : kReplies) {
    SCOPED_TRACE(c.name);
    Bytes bytes = Hex(c.reply);
    FrameBuffer reply;
    reply.address[0] = bytes[0];
    reply.length = static_cast<uint16_t>(bytes.size() - 1);
    std::copy(bytes.begin() + 1, bytes.end(), reply.data);
    uint16_t words[128];
    SetMessage(h, "");
    EXPECT_FALSE(CheckModbusReply(h, c.request, 0x01, reply, words));
    EXPECT_STREQ(h->message, c.message);
  }
  FreeHandle(h);
}

// 127 registers is the most a read can carry.
TEST(ModbusReplyChecks, HundredTwentySevenRegistersPass) {
  LinkHandle* h = AllocateHandle();
  Bytes bytes = Hex("03 FE " + Repeat("12", 254));
  FrameBuffer reply;
  reply.address[0] = 1;
  reply.length = static_cast<uint16_t>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), reply.data);
  uint16_t words[127] = {};
  EXPECT_TRUE(CheckModbusReply(h, Request(kRead, 127), 1, reply, words));
  EXPECT_EQ(words[126], 0x1212);
  FreeHandle(h);
}

TEST(ModbusExchange, HundredTwentyEightRegistersFailOnSize) {
  ScriptedLine line(kRtu, 1);
  line.Reply(WithCrc(Hex(k128Words)));
  uint16_t words[128];
  EXPECT_EQ(ModbusSerialReadRegisters(line.h, 1, 128, words), 0);
  EXPECT_STREQ(line.h->message, "Read reply was wrong size");
  EXPECT_EQ(line.TakeSent(), WithCrc(Hex("01 03 00 00 00 80")));
}

TEST(ModbusExchange, MoreThan126FileRecordsFailOnSize) {
  ScriptedLine line(kAscii, 1);
  line.Reply(AsAscii(Hex(k127Records)));
  uint16_t words[127];
  EXPECT_EQ(ModbusSerialReadFileRecords(line.h, 1, 0, 127, words), 0);
  EXPECT_STREQ(line.h->message, "Read reply was wrong size (a)");
}

TEST(ModbusExchange, ExceptionEndsTheRequestWithItsText) {
  ScriptedLine line(kRtu, 7);
  line.Reply(WithCrc(Hex("07 83 02")));
  uint16_t words[1];
  EXPECT_EQ(ModbusSerialReadRegisters(line.h, 1, 1, words), 0);
  EXPECT_STREQ(line.h->message, "Modbus error reply 2 ILLEGAL DATA ADDRESS");
}

// Replies the receivers drop: the request runs out its time-out with its
// preset message.
struct DroppedReplyCase {
  const char* name;
  uint8_t mode;
  Bytes reply;
};

Bytes LowerCase(Bytes bytes) {
  for (uint8_t& b : bytes)
    if (b >= 'A' && b <= 'F') b = static_cast<uint8_t>(b - 'A' + 'a');
  return bytes;
}

Bytes FlipLastByte(Bytes bytes) {
  bytes.back() ^= 0x01;
  return bytes;
}

const DroppedReplyCase kDropped[] = {
    {"lower-case ASCII digits fail the LRC", kAscii, LowerCase(AsAscii(Hex("01 03 02 AB CD")))},
    {"ASCII reply with a wrong LRC", kAscii, Text(":010302ABCD00\r\n")},
    {"RTU reply with a wrong CRC", kRtu, FlipLastByte(WithCrc(Hex("01 03 02 AB CD")))},
    {"RTU reply of two bytes after the address", kRtu, WithCrc(Hex("01"))},
    {"ASCII characters before the colon", kAscii, Text("0103\r\n")},
};

TEST(ModbusExchange, DroppedRepliesEndOnTimeOut) {
  for (const DroppedReplyCase& c : kDropped) {
    SCOPED_TRACE(c.name);
    ScriptedLine line(c.mode, 1);
    line.h->reply_timeout = 4;
    line.Reply(c.reply);
    uint16_t words[1];
    EXPECT_EQ(ModbusSerialReadRegisters(line.h, 1, 1, words), 0);
    EXPECT_STREQ(line.h->message, "No reply to read command");
    EXPECT_EQ(line.polls(), 4);  // the whole time-out: nothing ended the wait
  }
}

// Replies no answer can be made of end the wait at once.
struct UnusableReplyCase {
  const char* name;
  uint8_t mode;
  Bytes reply;
};

const UnusableReplyCase kUnusable[] = {
    {"RTU reply longer than any frame", kRtu, Bytes(300, 0x55)},
    {"ASCII colon then CR", kAscii, Text(":\r\n")},
    {"ASCII one digit pair then CR", kAscii, Text(":01\r\n")},
    {"ASCII digits past the room of any frame", kAscii, Text(":" + std::string(530, '1'))},
};

TEST(ModbusExchange, UnusableRepliesEndTheWaitAtOnce) {
  for (const UnusableReplyCase& c : kUnusable) {
    SCOPED_TRACE(c.name);
    ScriptedLine line(c.mode, 1);
    line.Reply(c.reply);
    uint16_t words[1];
    EXPECT_EQ(ModbusSerialWriteRegisters(line.h, 1, 1, words), 0);
    EXPECT_STREQ(line.h->message, "No reply to write command");
    EXPECT_EQ(line.polls(), 1);
    // The receiver is ready for the next reply.
    line.TakeSent();
    line.Reply(OnWire(c.mode, Hex("01 03 02 12 34")));
    EXPECT_EQ(ModbusSerialReadRegisters(line.h, 1, 1, words), 1) << line.h->message;
    EXPECT_EQ(words[0], 0x1234);
  }
}

TEST(ModbusExchange, AsciiReplyAmongNoiseAndSplitLineEndings) {
  ScriptedLine line(kAscii, 0x2A);
  Bytes noisy = Text("\n\r junk");
  Bytes frame = AsAscii(Hex("2A 03 04 FF FF 00 00"));
  noisy.insert(noisy.end(), frame.begin(), frame.end());
  line.Reply(noisy);
  uint16_t words[2];
  EXPECT_EQ(ModbusSerialReadRegisters(line.h, 65535, 2, words), 2) << line.h->message;
  EXPECT_EQ(words[0], 0xFFFF);
  EXPECT_EQ(words[1], 0x0000);
  EXPECT_EQ(line.TakeSent(), AsAscii(Hex("2A 03 FF FE 00 02")));
}

TEST(ModbusReceive, BytesWhileNoRequestWaitsAreIgnored) {
  for (uint8_t mode : {kRtu, kAscii}) {
    ScriptedLine line(mode, 1);
    line.Feed(OnWire(mode, Hex("01 03 02 12 34")));
    EXPECT_TRUE(IsListEmpty(line.h->rx_queue));
    EXPECT_EQ(line.h->rx_state, kModbusRxIdle);
  }
}

// A reply cut off by the end of its request's wait leaves nothing behind
// that could spoil the next reply.
TEST(ModbusReceive, FrameAbandonedWhenTheWaitEndsIsDropped) {
  for (uint8_t mode : {kRtu, kAscii}) {
    SCOPED_TRACE(mode == kRtu ? "RTU" : "ASCII");
    ScriptedLine line(mode, 1);
    Bytes late = OnWire(mode, Hex("01 03 02 12 34"));
    Bytes head(late.begin(), late.begin() + 4);
    Bytes tail(late.begin() + 4, late.end());
    line.h->reply_expected.store(1);
    for (uint8_t b : head) line.h->rx_handler(line.h, b);
    line.h->reply_expected.store(0);
    for (uint8_t b : tail) line.h->rx_handler(line.h, b);
    if (mode == kRtu) ModbusRtuEndFrame(line.h);
    EXPECT_EQ(line.h->rx_state, kModbusRxIdle);

    line.Reply(OnWire(mode, Hex("01 03 02 56 78")));
    uint16_t words[1];
    EXPECT_EQ(ModbusSerialReadRegisters(line.h, 1, 1, words), 1) << line.h->message;
    EXPECT_EQ(words[0], 0x5678);
  }
}

TEST(ModbusExchange, StaleRepliesAreDrainedBeforeTheRequest) {
  ScriptedLine line(kRtu, 1);
  line.h->reply_expected.store(1);
  line.Feed(WithCrc(Hex("01 03 02 12 34")));
  line.h->reply_expected.store(0);
  ASSERT_FALSE(IsListEmpty(line.h->rx_queue));
  line.h->reply_timeout = 2;
  uint16_t words[1];
  EXPECT_EQ(ModbusSerialReadRegisters(line.h, 1, 1, words), 0);
  EXPECT_STREQ(line.h->message, "No reply to read command");
}

TEST(ModbusExchange, FileRecordWriteTooLongForAFrameIsRefusedBeforeTraffic) {
  ScriptedLine line(kRtu, 1);
  uint16_t words[128] = {};
  EXPECT_EQ(ModbusSerialWriteFileRecords(line.h, 1, 0, 128, words), 0);
  EXPECT_STREQ(line.h->message, "Illegal read count");
  EXPECT_TRUE(line.TakeSent().empty());
}

TEST(ModbusExchange, LargestFileRecordWriteGoesOutWhole) {
  ScriptedLine line(kAscii, 1);
  line.h->reply_timeout = 1;
  uint16_t words[127];
  for (int i = 0; i < 127; ++i) words[i] = static_cast<uint16_t>(0x0100 + i);
  EXPECT_EQ(ModbusSerialWriteFileRecords(line.h, 2, 3, 127, words), 0);
  Bytes request = Hex("01 15 05 06 00 02 00 03 00 7F");
  for (int i = 0; i < 127; ++i) {
    request.push_back(static_cast<uint8_t>(words[i] >> 8));
    request.push_back(static_cast<uint8_t>(words[i]));
  }
  EXPECT_EQ(line.TakeSent(), AsAscii(request));
}

TEST(ModbusExchange, EmptyPoolIsABufferShortage) {
  ScriptedLine line(kRtu, 1);
  FrameList taken;
  while (FrameBuffer* f = TakePoolFrame()) AppendFrame(taken, f);
  uint16_t words[1];
  EXPECT_EQ(ModbusSerialReadRegisters(line.h, 1, 1, words), 0);
  EXPECT_STREQ(line.h->message, "Buffer shortage, try again");
  ReturnListToPool(taken);
}

}  // namespace
}  // namespace linklib
