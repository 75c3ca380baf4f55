// A compiled program file (.KXB): a headerless run of 16-bit program words,
// each stored low byte first. The number of words is the file size divided by
// two; a trailing odd byte is never delivered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace download {

class ProgramFile {
 public:
  ProgramFile() = default;
  ~ProgramFile();
  ProgramFile(const ProgramFile&) = delete;
  ProgramFile& operator=(const ProgramFile&) = delete;

  // Opens `path` for reading as raw bytes and reads as much of it as a module
  // can ever take; false when it does not open or that read fails (a
  // directory, a device error), so that such a file is refused before
  // anything is sent. A file already open is closed first.
  bool Open(const char* path);
  bool IsOpen() const { return file_ != nullptr; }
  void Close();

  // Reads up to `limit` whole words into `words`, front to back; returns how
  // many were read (0 at the end of the file, when closed, or on a read error).
  size_t ReadWords(uint16_t* words, size_t limit);

 private:
  // Reads up to `count` bytes, the read-ahead first; returns how many.
  size_t ReadBytes(unsigned char* bytes, size_t count);

  FILE* file_ = nullptr;
  std::vector<unsigned char> ahead_;  // the start of the file, read at open
  size_t ahead_used_ = 0;
};

}  // namespace download
