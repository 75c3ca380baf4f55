// Small owners for the environment's commands: a window and a file that are
// closed on every way out of the command, and the file tests they share.
#pragma once

#include <cstdio>
#include <string>

#include "console/windows.h"

namespace kxtdev {

class ScopedWindow {
 public:
  explicit ScopedWindow(console::Window* window) : window_(window) {}
  ~ScopedWindow() { Close(); }
  ScopedWindow(const ScopedWindow&) = delete;
  ScopedWindow& operator=(const ScopedWindow&) = delete;
  void Close() { console::CloseWindow(&window_); }

 private:
  console::Window* window_;
};

class ScopedFile {
 public:
  explicit ScopedFile(std::FILE* file = nullptr) : file_(file) {}
  ~ScopedFile() { Close(); }
  ScopedFile(const ScopedFile&) = delete;
  ScopedFile& operator=(const ScopedFile&) = delete;
  std::FILE* get() const { return file_; }
  void Reset(std::FILE* file) {
    Close();
    file_ = file;
  }
  explicit operator bool() const { return file_ != nullptr; }
  // False when buffered output could not be written.
  bool Close() {
    if (file_ == nullptr) return true;
    bool written = std::fclose(file_) == 0;
    file_ = nullptr;
    return written;
  }

 private:
  std::FILE* file_;
};

// True when the file opens for reading.
inline bool FileExists(const std::string& name) {
  ScopedFile file(std::fopen(name.c_str(), "rb"));
  return static_cast<bool>(file);
}

// A base name with its extension (".KXT", ".KXB").
inline std::string WithExtension(const char* base_name, const char* extension) {
  return std::string(base_name) + extension;
}

// Copies in to out in pieces of 256 bytes. False as soon as a write stores
// less than it was given, including the buffered rest when out is flushed.
inline bool CopyStream(std::FILE* in, std::FILE* out) {
  char piece[256];
  size_t count;
  while ((count = std::fread(piece, 1, sizeof piece, in)) > 0) {
    if (std::fwrite(piece, 1, count, out) != count) return false;
  }
  return std::fflush(out) == 0;
}

}  // namespace kxtdev
