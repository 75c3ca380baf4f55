#include "tests/support/modbus_block_clients.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/descriptor_poll.h"
#include "platform/sim_tcp_listener.h"

namespace testsupport {
namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

constexpr uint8_t kUnit = 1;
// Plain storage in kxtsim's map, clear of the program area and its controls.
constexpr uint32_t kFirstBlockRegister = 10001;

int MillisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool SendAll(int fd, const Bytes& bytes, Clock::time_point deadline) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    long n = platform::SendToSocket(fd, bytes.data() + sent, bytes.size() - sent);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n != platform::kTransferWouldBlock) return false;
    std::vector<platform::PollItem> items = {{fd, false, true}};
    if (platform::PollDescriptors(items, MillisecondsLeft(deadline)) <= 0) return false;
  }
  return true;
}

// One whole reply (its header's length says where it ends); empty on failure.
Bytes ReceiveReply(int fd, Clock::time_point deadline) {
  Bytes reply;
  while (reply.size() < 6 || reply.size() < 6u + ((reply[4] << 8) | reply[5])) {
    if (!platform::WaitReadable(fd, MillisecondsLeft(deadline))) return {};
    uint8_t buffer[512];
    long got = platform::ReceiveFromSocket(fd, buffer, sizeof buffer);
    if (got == platform::kTransferWouldBlock) continue;
    if (got <= 0) return {};
    reply.insert(reply.end(), buffer, buffer + got);
  }
  return reply;
}

void PutWord(Bytes& bytes, uint16_t word) {
  bytes.push_back(static_cast<uint8_t>(word >> 8));
  bytes.push_back(static_cast<uint8_t>(word));
}

Bytes Header(uint16_t transaction, size_t pdu_length) {
  Bytes bytes;
  PutWord(bytes, transaction);
  PutWord(bytes, 0);
  PutWord(bytes, static_cast<uint16_t>(pdu_length + 1));
  bytes.push_back(kUnit);
  return bytes;
}

}  // namespace

std::vector<int> ConnectClients(uint16_t port, size_t count, int timeout_ms) {
  std::vector<int> pending;
  for (size_t i = 0; i < count; ++i) {
    int fd = platform::StartLoopbackConnection(port);
    if (fd >= 0) pending.push_back(fd);
  }
  std::vector<int> connected;
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!pending.empty()) {
    std::vector<platform::PollItem> items;
    for (int fd : pending) items.push_back({fd, false, true});
    if (platform::PollDescriptors(items, MillisecondsLeft(deadline)) <= 0) break;
    std::vector<int> still_pending;
    for (const platform::PollItem& item : items) {
      if (!item.writable && !item.hung_up) {
        still_pending.push_back(item.fd);
      } else if (platform::ConnectionEstablished(item.fd)) {
        connected.push_back(item.fd);
      } else {
        platform::CloseSocket(item.fd);
      }
    }
    pending.swap(still_pending);
  }
  for (int fd : pending) platform::CloseSocket(fd);
  return connected;
}

PairResult WriteAndReadBack(int fd, uint16_t transaction, uint16_t first,
                            const std::vector<uint16_t>& words, int timeout_ms) {
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  const uint16_t address = static_cast<uint16_t>(first - 1);
  const uint16_t count = static_cast<uint16_t>(words.size());

  Bytes write = Header(transaction, 6 + 2 * words.size());
  write.push_back(0x10);
  PutWord(write, address);
  PutWord(write, count);
  write.push_back(static_cast<uint8_t>(2 * count));
  for (uint16_t word : words) PutWord(write, word);
  if (!SendAll(fd, write, deadline)) return PairResult::kFailed;
  Bytes expected_echo = Header(transaction, 5);
  expected_echo.push_back(0x10);
  PutWord(expected_echo, address);
  PutWord(expected_echo, count);
  if (ReceiveReply(fd, deadline) != expected_echo) return PairResult::kFailed;

  const uint16_t read_transaction = static_cast<uint16_t>(transaction + 1);
  Bytes read = Header(read_transaction, 5);
  read.push_back(0x03);
  PutWord(read, address);
  PutWord(read, count);
  if (!SendAll(fd, read, deadline)) return PairResult::kFailed;
  Bytes reply = ReceiveReply(fd, deadline);
  Bytes expected_start = Header(read_transaction, 2 + 2 * words.size());
  expected_start.push_back(0x03);
  expected_start.push_back(static_cast<uint8_t>(2 * count));
  if (reply.size() != expected_start.size() + 2 * words.size() ||
      !std::equal(expected_start.begin(), expected_start.end(), reply.begin()))
    return PairResult::kFailed;
  for (size_t i = 0; i < words.size(); ++i) {
    uint16_t got = static_cast<uint16_t>((reply[expected_start.size() + 2 * i] << 8) |
                                         reply[expected_start.size() + 2 * i + 1]);
    if (got != words[i]) return PairResult::kMismatched;
  }
  return PairResult::kMatched;
}

LoadResult RunBlockClients(const std::vector<int>& clients, uint16_t block_words, uint32_t rounds,
                           double seconds) {
  constexpr int kReplyTimeoutMs = 30000;  // a failure bound, not a speed limit
  LoadResult result;
  result.connected = clients.size();
  std::atomic<uint64_t> pairs{0}, mismatched{0}, failed{0};
  Clock::time_point start = Clock::now();
  Clock::time_point end =
      start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  std::vector<std::thread> threads;
  for (size_t c = 0; c < clients.size(); ++c) {
    threads.emplace_back([&, c] {
      const uint16_t first = static_cast<uint16_t>(kFirstBlockRegister + c * block_words);
      std::vector<uint16_t> words(block_words);
      for (uint32_t round = 0; rounds == 0 ? Clock::now() < end : round < rounds; ++round) {
        for (size_t i = 0; i < words.size(); ++i)
          words[i] = static_cast<uint16_t>((c << 10) ^ (round * 257u) ^ (i * 0x1011u));
        PairResult outcome = WriteAndReadBack(clients[c], static_cast<uint16_t>(2 * round), first,
                                              words, kReplyTimeoutMs);
        if (outcome == PairResult::kMatched) {
          ++pairs;
        } else {
          ++(outcome == PairResult::kMismatched ? mismatched : failed);
          return;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  result.pairs = pairs.load();
  result.mismatched = mismatched.load();
  result.failed = failed.load();
  return result;
}

}  // namespace testsupport
