// Modbus TCP (kind 8): the open and close, the request of every register
// operation, the reply collection driven by the header's length field, and
// the reply checks. No worker thread and no frame buffers: each request is
// built in a local buffer, sent at once, and its reply collected by polling
// the non-blocking socket.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>
#include <thread>

#include "link/link_messages.h"
#include "link/protocols.h"
#include "platform/tcp_socket.h"

namespace linklib {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPollInterval = std::chrono::milliseconds(10);

constexpr uint16_t kDefaultReplyTimeout = 500;
// Transaction identifier, protocol identifier and length field; the length
// counts the unit byte and the data unit that follow.
constexpr size_t kHeaderSize = 6;
// The largest request: a file-record write of 128 words.
constexpr size_t kRequestCapacity = kHeaderSize + 10 + 2 * 128;
// The largest reply a request of this link can bring back: the echo of that
// write (a read of 128 registers is shorter). A reply that announces more is
// refused before a byte of its body is stored.
constexpr size_t kReplyCapacity = kRequestCapacity;

constexpr uint8_t kReadHolding = 0x03;
constexpr uint8_t kReadInput = 0x04;
constexpr uint8_t kWriteMultiple = 0x10;
constexpr uint8_t kReadFileRecord = 0x14;
constexpr uint8_t kWriteFileRecord = 0x15;
constexpr uint8_t kExceptionBit = 0x80;
constexpr uint8_t kReferenceType6X = 6;
constexpr uint8_t kReferenceType3X = 3;

class Request {
 public:
  explicit Request(uint8_t unit) {
    Put16(0);  // transaction identifier
    Put16(0);  // protocol identifier
    Put16(0);  // length, filled in by Finish
    Put8(unit);
  }
  void Put8(uint8_t value) {
    if (size_ < kRequestCapacity) bytes_[size_++] = value;
  }
  void Put16(uint32_t value) {
    Put8(static_cast<uint8_t>(value >> 8));
    Put8(static_cast<uint8_t>(value));
  }
  void PutWords(const uint16_t* words, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) Put16(words[i]);
  }
  // Sets the length field to the count of bytes after it.
  void Finish() {
    size_t length = size_ - kHeaderSize;
    bytes_[4] = static_cast<uint8_t>(length >> 8);
    bytes_[5] = static_cast<uint8_t>(length);
  }
  const uint8_t* bytes() const { return bytes_; }
  size_t size() const { return size_; }

 private:
  uint8_t bytes_[kRequestCapacity] = {};
  size_t size_ = 0;
};

// What the reply to a request must look like.
struct Expected {
  enum class Shape { kRegisters, kFileRecords, kWrite };
  uint8_t function;
  Shape shape;
  uint32_t count;
};

uint16_t WordAt(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// The reply to a register write echoes the function, the starting address
// and the quantity, and nothing more; the reply to a file-record write
// echoes the whole request. A reply of any other length, or one that names
// other registers (a server that echoes a register-write request whole, for
// one), did not store what was sent. The message gives the quantity the
// reply echoes when it names the same first register at the right length,
// and otherwise the count of bytes it carries after its function code.
bool CheckWriteReply(LinkHandle* h, const uint8_t* reply, size_t length, const Request& request,
                     uint32_t count) {
  const uint8_t* sent = request.bytes();
  // The bytes up to the quantity: unit, function, then the starting address
  // (register write) or the byte count, reference type, file and record.
  size_t named = sent[7] == kWriteMultiple ? 4 : 8;
  size_t expected_length = sent[7] == kWriteMultiple ? kHeaderSize + 6 : request.size();
  uint32_t reported =
      length > kHeaderSize + 2 ? static_cast<uint32_t>(length - kHeaderSize - 2) : 0;
  if (length == expected_length && std::memcmp(reply + 6, sent + 6, named) == 0) {
    if (std::memcmp(reply + 6, sent + 6, expected_length - 6) == 0) return true;
    reported = WordAt(reply + 6 + named);
  }
  SetMessageF(h, "Reply length %" PRIu32 " doesn't match query %" PRIu32, reported, count);
  return false;
}

uint8_t UnitOf(const LinkHandle* h) { return static_cast<uint8_t>(h->route.count); }

// Connects the handle's socket to the server. The handshake is waited for in
// polls of 10 ms, no longer than the reply time-out allows, with the wait
// callback called on each: a peer that never answers cannot hold the
// program, and a callback that answers 0 abandons the connect ("Application
// idle abort"). False, with the socket closed, when no connection came up.
bool ConnectWithinReplyTimeout(LinkHandle* h) {
  using Status = platform::TcpConnection::ConnectStatus;
  Status status = h->socket->StartConnect(h->server_ipv4, h->server_port);
  WaitCallback callback = h->wait_callback ? h->wait_callback : DefaultWaitCallback;
  Clock::time_point give_up = Clock::now() + h->reply_timeout * kPollInterval;
  while (status == Status::kInProgress) {
    if (callback(h->wait_user) == 0) {
      SetMessage(h, "Application idle abort");
      break;
    }
    if (Clock::now() >= give_up) break;
    status = h->socket->WaitConnected(static_cast<int>(kPollInterval.count()));
  }
  if (status == Status::kConnected) return true;
  h->socket->Close();
  return false;
}

// The connection is gone: make a new one for the next request. Its outcome
// is not checked; a request on a connection that failed to come up reports
// the socket as not connected, which reconnects again.
void Reconnect(LinkHandle* h) {
  h->socket->Close();
  ConnectWithinReplyTimeout(h);
}

void ReportSocketFailure(LinkHandle* h, const char* prefix) {
  if (SetSocketErrorMessage(h, prefix, h->socket->error_number())) Reconnect(h);
}

// Bytes left over from an earlier reply (one that came after its request
// gave up) would be taken for this request's reply. A peer that never stops
// sending cannot hold the request here: after 1 MiB the request goes anyway.
void DiscardStaleBytes(LinkHandle* h) {
  uint8_t scratch[256];
  size_t got = 0;
  for (int reads = 0; reads < 4096; ++reads) {
    if (h->socket->Receive(scratch, sizeof scratch, &got) !=
        platform::TcpConnection::ReceiveStatus::kData)
      return;
  }
}

// One poll of the reply wait: up to 10 ms, ending early only when bytes are
// ready to be read. A closed peer reads as ready at once, so its polls are
// slept out in full.
void WaitOnePoll(LinkHandle* h, bool peer_closed) {
  Clock::time_point end = Clock::now() + kPollInterval;
  if (!peer_closed) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    if (h->socket->WaitReadable(static_cast<int>(left.count()) + 1)) return;
  }
  std::this_thread::sleep_until(end);
}

// Collects one reply into `reply`; its total length goes to `*length`.
// False with the message set when none came.
bool CollectReply(LinkHandle* h, uint8_t* reply, size_t* length) {
  size_t expected = kHeaderSize;
  size_t received = 0;
  uint32_t polls_left = h->reply_timeout;
  // T polls last at least T x 10 ms, even when a poll ended early.
  Clock::time_point earliest_timeout = Clock::now() + polls_left * kPollInterval;
  bool peer_closed = false;
  WaitCallback callback = h->wait_callback ? h->wait_callback : DefaultWaitCallback;
  while (received < expected) {
    size_t got = 0;
    auto status = h->socket->Receive(reply + received, expected - received, &got);
    if (status == platform::TcpConnection::ReceiveStatus::kFailed) {
      ReportSocketFailure(h, "Recv ");
      return false;
    }
    // A closed peer delivers nothing more; the wait runs out as for silence.
    if (status == platform::TcpConnection::ReceiveStatus::kPeerClosed) peer_closed = true;
    if (got == 0) {
      if (polls_left == 0 && Clock::now() >= earliest_timeout) {
        SetMessage(h, "Reply timeout");
        return false;
      }
      if (polls_left > 0) --polls_left;
    }
    if (callback(h->wait_user) == 0) {
      SetMessage(h, "Application idle abort");
      return false;
    }
    if (got == 0) WaitOnePoll(h, peer_closed);
    received += got;
    if (received == kHeaderSize && expected == kHeaderSize) {
      size_t announced = size_t{reply[4]} * 256 + reply[5];
      expected = kHeaderSize + announced;
      if (expected > kReplyCapacity) {
        SetMessage(h, "Reply message too large");
        return false;
      }
    }
  }
  *length = received;
  return true;
}

void CopyWords(const uint8_t* from, uint32_t count, uint16_t* words) {
  for (uint32_t i = 0; i < count; ++i) words[i] = WordAt(from + 2 * i);
}

// Checks the reply in order and copies the words of a read.
bool CheckReply(LinkHandle* h, const uint8_t* reply, size_t length, const Request& request,
                const Expected& expected, uint16_t* words) {
  if (reply[6] != UnitOf(h)) {
    SetMessage(h, "Reply drop doesn't match query");
    return false;
  }
  if (reply[7] == (expected.function | kExceptionBit)) {
    SetModbusTcpException(h, reply[8]);
    return false;
  }
  if (reply[7] != expected.function) {
    SetMessage(h, "Reply opcode doesn't match query");
    return false;
  }
  size_t first_word = 0;
  uint32_t announced = reply[8];
  switch (expected.shape) {
    case Expected::Shape::kWrite:
      return CheckWriteReply(h, reply, length, request, expected.count);
    case Expected::Shape::kRegisters:
      if (announced != 2 * expected.count) break;
      first_word = 9;
      break;
    case Expected::Shape::kFileRecords:
      if (announced != 2 * expected.count + 2) break;
      first_word = 11;
      break;
  }
  // A count byte that agrees with the request but a reply too short to hold
  // the words is a mismatch too: the words it lacks are never invented.
  if (first_word != 0 && length < first_word + 2 * size_t{expected.count}) {
    announced = length > 9 ? static_cast<uint32_t>(length - 9) : 0;
    first_word = 0;
  }
  if (first_word == 0) {
    SetMessageF(h, "Reply length %" PRIu32 " doesn't match query %" PRIu32, announced,
                expected.count);
    return false;
  }
  CopyWords(reply + first_word, expected.count, words);
  return true;
}

int Transact(LinkHandle* h, Request& request, const Expected& expected, uint16_t* words) {
  request.Finish();
  DiscardStaleBytes(h);
  // A full socket buffer is waited for no longer than the reply would be.
  int send_timeout_ms = static_cast<int>(h->reply_timeout) * 10;
  if (!h->socket->Send(request.bytes(), request.size(), send_timeout_ms)) {
    ReportSocketFailure(h, "Send ");
    return 0;
  }
  uint8_t reply[kReplyCapacity] = {};
  size_t length = 0;
  if (!CollectReply(h, reply, &length)) return 0;
  return CheckReply(h, reply, length, request, expected, words) ? 1 : 0;
}

// "%u.%u.%u.%u" taken whole: four numbers, each giving its low byte.
bool ParseDottedAddress(const char* host, uint32_t* ipv4) {
  unsigned a, b, c, d;
  int consumed = 0;
  if (std::sscanf(host, "%u.%u.%u.%u%n", &a, &b, &c, &d, &consumed) != 4) return false;
  if (host[consumed] != '\0') return false;
  *ipv4 = (a & 0xFFu) << 24 | (b & 0xFFu) << 16 | (c & 0xFFu) << 8 | (d & 0xFFu);
  return true;
}

int ReadFileRecordsOfType(LinkHandle* h, uint8_t reference_type, uint16_t file, uint32_t first,
                          uint32_t count, uint16_t* words) {
  Request request(UnitOf(h));
  request.Put8(kReadFileRecord);
  request.Put8(7);  // byte count of the one sub-request
  request.Put8(reference_type);
  request.Put16(file);
  request.Put16(first);
  request.Put16(count);
  return Transact(h, request, {kReadFileRecord, Expected::Shape::kFileRecords, count}, words);
}

}  // namespace

LinkHandle* OpenModbusTCP(const char* host, uint16_t tcp_port, uint16_t unit) {
  if (!host) return nullptr;
  uint32_t ipv4 = 0;
  if (!ParseDottedAddress(host, &ipv4) && !platform::ResolveHostIpv4(host, &ipv4)) return nullptr;
  LinkHandle* h = AllocateHandle();
  if (!h) return nullptr;
  h->socket = new (std::nothrow) platform::TcpConnection();
  if (!h->socket) {
    FreeHandle(h);
    return nullptr;
  }
  h->kind = kKindModbusTcp;
  h->route.count = unit;
  h->wait_callback = DefaultWaitCallback;
  h->server_ipv4 = ipv4;
  h->server_port = tcp_port;
  h->reply_timeout = kDefaultReplyTimeout;
  if (!ConnectWithinReplyTimeout(h)) {
    ModbusTcpClose(h);
    FreeHandle(h);
    return nullptr;
  }
  h->mark = kHandleMark;
  return h;
}

void ModbusTcpClose(LinkHandle* h) {
  delete h->socket;  // shuts the connection down and closes it
  h->socket = nullptr;
}

int ModbusTcpReadRegisters(LinkHandle* h, uint32_t first, uint32_t count, uint16_t* words) {
  Request request(UnitOf(h));
  request.Put8(kReadHolding);
  request.Put16(first - 1);
  request.Put16(count);
  return Transact(h, request, {kReadHolding, Expected::Shape::kRegisters, count}, words);
}

int ModbusTcpWriteRegisters(LinkHandle* h, uint32_t first, uint32_t count, const uint16_t* words) {
  Request request(UnitOf(h));
  request.Put8(kWriteMultiple);
  request.Put16(first - 1);
  request.Put16(count);
  request.Put8(static_cast<uint8_t>(2 * count));
  request.PutWords(words, count);
  return Transact(h, request, {kWriteMultiple, Expected::Shape::kWrite, count}, nullptr);
}

int ModbusTcpReadFileRecords(LinkHandle* h, uint16_t file, uint32_t first, uint32_t count,
                             uint16_t* words) {
  return ReadFileRecordsOfType(h, kReferenceType6X, file, first, count, words);
}

int ModbusTcpRead3X(LinkHandle* h, uint16_t file, uint32_t first, uint32_t count, uint16_t* words) {
  if (GetProgramStyle() != ProgramStyle::RegisterEditor)
    return ReadFileRecordsOfType(h, kReferenceType3X, file, first, count, words);
  // The register editor reads 3X registers as input registers.
  Request request(UnitOf(h));
  request.Put8(kReadInput);
  request.Put16(first - 1);
  request.Put16(count);
  return Transact(h, request, {kReadInput, Expected::Shape::kRegisters, count}, words);
}

int ModbusTcpWriteFileRecords(LinkHandle* h, uint16_t file, uint32_t first, uint32_t count,
                              const uint16_t* words) {
  Request request(UnitOf(h));
  request.Put8(kWriteFileRecord);
  request.Put8(static_cast<uint8_t>(2 * count + 7));
  request.Put8(kReferenceType6X);
  request.Put16(file);
  request.Put16(first);
  request.Put16(count);
  request.PutWords(words, count);
  return Transact(h, request, {kWriteFileRecord, Expected::Shape::kWrite, count}, nullptr);
}

}  // namespace linklib
