#include "download/program_file.h"

namespace download {

ProgramFile::~ProgramFile() { Close(); }

bool ProgramFile::Open(const char* path) {
  Close();
  file_ = std::fopen(path, "rb");
  return file_ != nullptr;
}

void ProgramFile::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
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
    size_t got = std::fread(bytes, 1, want * 2, file_);
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
