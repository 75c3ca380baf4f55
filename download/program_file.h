// A compiled program file (.KXB): a headerless run of 16-bit program words,
// each stored low byte first. The number of words is the file size divided by
// two; a trailing odd byte is never delivered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace download {

class ProgramFile {
 public:
  ProgramFile() = default;
  ~ProgramFile();
  ProgramFile(const ProgramFile&) = delete;
  ProgramFile& operator=(const ProgramFile&) = delete;

  // Opens `path` for reading as raw bytes; false when it does not open.
  // A file already open is closed first.
  bool Open(const char* path);
  bool IsOpen() const { return file_ != nullptr; }
  void Close();

  // Reads up to `limit` whole words into `words`, front to back; returns how
  // many were read (0 at the end of the file, when closed, or on a read error).
  size_t ReadWords(uint16_t* words, size_t limit);

 private:
  FILE* file_ = nullptr;
};

}  // namespace download
