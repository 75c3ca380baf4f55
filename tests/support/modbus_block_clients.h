// Many Modbus TCP clients on loopback at once, each writing a block of
// registers of its own and reading it back: the load run of kxtsim's tests
// and benchmark.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace testsupport {

// Starts `count` connections to 127.0.0.1:`port` together and waits, at most
// `timeout_ms`, until every handshake has completed. The descriptors of the
// established connections; the rest are closed.
std::vector<int> ConnectClients(uint16_t port, size_t count, int timeout_ms);

enum class PairResult { kMatched, kMismatched, kFailed };

// Writes `words` from holding register `first` (function 16), then reads them
// back (function 3). kFailed when a reply did not come within `timeout_ms`
// or was not the reply to its request; kMismatched when the block read back
// differs.
PairResult WriteAndReadBack(int fd, uint16_t transaction, uint16_t first,
                            const std::vector<uint16_t>& words, int timeout_ms);

struct LoadResult {
  size_t connected = 0;
  uint64_t pairs = 0;  // matched write+read pairs
  uint64_t mismatched = 0;
  uint64_t failed = 0;
  double seconds = 0;  // from the first request to the last reply
};

// Each of `clients` (already connected) in a thread of its own writes and
// reads back its own block of `block_words` registers: `rounds` pairs each,
// or when `rounds` is 0 as many as fit in `seconds`. A client stops at its
// first failure.
LoadResult RunBlockClients(const std::vector<int>& clients, uint16_t block_words, uint32_t rounds,
                           double seconds);

}  // namespace testsupport
