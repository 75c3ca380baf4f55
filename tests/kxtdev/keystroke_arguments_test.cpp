// Command-line arguments as keystrokes.
#include <gtest/gtest.h>

#include <string>

#include "kxtdev/session.h"

namespace kxtdev {
namespace {

TEST(KeystrokeArguments, SlashFormsStandForKeys) {
  struct Case {
    std::string argument;
    std::string keys;
  };
  const Case cases[] = {
      {"c", "c"},
      {"/R", "\r"},
      {"/e", "\x1b"},
      {"x/dy", "x\x7fy"},
      {"/E/r/D", "\x1b\r\x7f"},
      {"a/b/r", "a/b\r"},  // a "/" before any other letter stays, the next one is still read
      {"//r", "/\r"},
      {"end/", "end/"},
  };
  for (const Case& c : cases) {
    char keys[kKeystrokeArgumentLimit + 1];
    KeystrokesOf(c.argument.c_str(), keys);
    EXPECT_EQ(keys, c.keys) << c.argument;
  }
}

TEST(KeystrokeArguments, LongArgumentsAreCut) {
  std::string argument(300, 'x');
  argument.replace(130, 2, "/R");  // the cut falls inside the "/R"
  char keys[kKeystrokeArgumentLimit + 1];
  KeystrokesOf(argument.c_str(), keys);
  EXPECT_EQ(std::string(keys), std::string(130, 'x') + "/");
}

}  // namespace
}  // namespace kxtdev
