// The environment's file commands on the in-memory console, in a temporary
// directory of their own. Errors come in the error box, so a test scripts F10
// for each error it expects (one it does not expect runs the script dry).
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "console/memory_console.h"
#include "console/screen.h"
#include "kxtdev/session.h"

namespace kxtdev {

class SourceFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/kxtdev_source_XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    directory = folder;
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    previous_directory = previous;
    ASSERT_EQ(chdir(folder), 0);
    ASSERT_TRUE(console::InitScreenOn(terminal));
    session.setup = StandardDefaultSetup();
    session.setup.trap_errors = kChoiceYes;
  }

  void TearDown() override {
    console::CloseScreen();
    ASSERT_EQ(chdir(previous_directory.c_str()), 0);
    std::string command = "rm -rf '" + directory + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }

 public:
  static void WriteFile(const std::string& name, const std::string& content) {
    std::ofstream(name, std::ios::binary) << content;
  }

 protected:
  static std::string ReadFile(const std::string& name) {
    std::ifstream file(name, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
  }
  static bool Exists(const std::string& name) { return access(name.c_str(), F_OK) == 0; }

  // A shell script in the directory, made executable; returns its path.
  std::string Script(const std::string& name, const std::string& body) {
    const std::string path = directory + "/" + name;
    WriteFile(path, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0755);
    return path;
  }

  void SetEditor(const std::string& path) {
    std::snprintf(session.setup.editor_path, sizeof session.setup.editor_path, "%s", path.c_str());
  }

  // Something written to the terminal holds text (the status-line errors,
  // the questions, the window titles).
  bool Written(const std::string& text) const {
    for (const auto& write : terminal.Writes())
      if (write.characters.find(text) != std::string::npos) return true;
    return false;
  }

  void Keys(const std::string& bytes) { terminal.Type(bytes); }
  void Escape() { terminal.TypeKeys({console::kKeyEscape}); }
  void ClearError() { terminal.TypeKeys({console::kKeyF10}); }

  console::MemoryConsole terminal;
  Session session;
  std::string directory;
  std::string previous_directory;
};

}  // namespace kxtdev
