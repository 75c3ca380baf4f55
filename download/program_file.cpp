#include "download/program_file.h"

#include <algorithm>
#include <cstring>

namespace download {
namespace {

// Four channels of 5000 words: more than any download sends. An even number,
// so the read-ahead never splits a word.
constexpr size_t kReadAheadBytes = 4 * 5000 * 2;

}  // namespace

ProgramFile::~ProgramFile() { Close(); }

bool ProgramFile::Open(const char* path) {
  Close();
  file_ = std::fopen(path, "rb");
  if (!file_) return false;
  ahead_.resize(kReadAheadBytes);
  ahead_.resize(std::fread(ahead_.data(), 1, ahead_.size(), file_));
  if (std::ferror(file_)) {
    Close();
    return false;
  }
  return true;
}

void ProgramFile::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  ahead_.clear();
  ahead_used_ = 0;
}

size_t ProgramFile::ReadBytes(unsigned char* bytes, size_t count) {
  size_t from_ahead = std::min(count, ahead_.size() - ahead_used_);
  if (from_ahead) std::memcpy(bytes, ahead_.data() + ahead_used_, from_ahead);
  ahead_used_ += from_ahead;
  if (from_ahead == count) return count;
  return from_ahead + std::fread(bytes + from_ahead, 1, count - from_ahead, file_);
}

size_t ProgramFile::ReadWords(uint16_t* words, size_t limit) {
  if (!file_) return 0;
  size_t count = 0;
  // Bytes go through a small buffer so that the words come out little-endian
  // whatever the host's byte order.
  unsigned char bytes[256];
  while (count < limit) {
    size_t want = limit - count;
    if (want > sizeof bytes / 2) want = sizeof bytes / 2;
    size_t got = ReadBytes(bytes, want * 2);
    size_t whole = got / 2;
    for (size_t i = 0; i < whole; ++i)
      words[count + i] = static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    count += whole;
    // A short read means the end of the file (an odd last byte stays unsent)
    // or an error: either way nothing more comes.
    if (got < want * 2) break;
  }
  return count;
}

}  // namespace download
