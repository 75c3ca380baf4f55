// kxtdev's screens on the in-memory console, in a scratch directory of their
// own (setup files are read and written in the current directory).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "console/memory_console.h"
#include "console/screen.h"
#include "console/serial_ports.h"
#include "kxtdev/session.h"

namespace kxtdev {

class KxtdevScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kxtdev-setup-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    scratch_ = pattern;
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(scratch_);
    ASSERT_TRUE(console::InitScreenOn(terminal));
    SetPorts({});
  }
  void TearDown() override {
    EXPECT_TRUE(terminal.ScriptDone()) << "keys left unread";
    if (session.link) linklib::CloseLink(session.link);
    session.link = nullptr;
    console::CloseScreen();
    SetPorts({});
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(scratch_);
  }

  // The port list the forms offer (normally built from sysfs). The table
  // owns its texts as ListSerialPorts leaves them: allocated, freed on the
  // next rebuild.
  static void SetPorts(const std::vector<const char*>& names) {
    for (const char*& name : console::SerialPortNames) {
      std::free(const_cast<char*>(name));
      name = nullptr;
    }
    for (size_t i = 0; i < names.size() && i < console::kSerialPortSlots - 1; ++i)
      console::SerialPortNames[i] = strdup(names[i]);
  }

  // Keys as a terminal sends them; a lone Escape is followed by a pause
  // when more keys follow, so it is not read as the start of a sequence.
  void Keys(std::initializer_list<int> keys) {
    for (int key : keys) {
      if (escape_pending_) terminal.Gap(1000);
      escape_pending_ = key == console::kKeyEscape;
      if (escape_pending_)
        terminal.Type("\x1b");
      else
        terminal.TypeKeys({key});
    }
  }
  void Text(const std::string& text) {
    for (char c : text) Keys({static_cast<unsigned char>(c)});
  }

  bool Written(const std::string& text) const {
    for (const auto& write : terminal.Writes())
      if (write.characters.find(text) != std::string::npos) return true;
    return false;
  }
  // Columns first..first + width - 1 (1-based) of an image row.
  static std::string ImageText(int row, int first, int width) {
    return console::ImageRowText(row).substr(first - 1, width);
  }
  // Row 25 from column 40: where errors stand with trap errors "NO".
  static std::string StatusLine() {
    std::string text = console::ImageRowText(25).substr(39);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
  }

  static std::vector<unsigned char> FileBytes(const char* name) {
    std::vector<unsigned char> bytes;
    if (std::FILE* file = std::fopen(name, "rb")) {
      int c;
      while ((c = std::fgetc(file)) != EOF) bytes.push_back(static_cast<unsigned char>(c));
      std::fclose(file);
    }
    return bytes;
  }
  static void WriteFile(const char* name, const void* bytes, size_t size) {
    std::FILE* file = std::fopen(name, "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(bytes, 1, size, file), size);
    std::fclose(file);
  }

  console::MemoryConsole terminal;
  Session session;

 private:
  std::filesystem::path scratch_;
  std::filesystem::path previous_;
  bool escape_pending_ = false;
};

}  // namespace kxtdev
