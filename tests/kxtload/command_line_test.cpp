#include "kxtload/command_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace kxtload {
namespace {

// Collects what a command-line step prints.
class Output {
 public:
  Output() : file_(std::tmpfile()) {}
  ~Output() { std::fclose(file_); }
  FILE* get() { return file_; }
  std::string Text() {
    std::fflush(file_);
    std::rewind(file_);
    std::string text;
    for (int c = std::fgetc(file_); c != EOF; c = std::fgetc(file_)) text.push_back(char(c));
    return text;
  }

 private:
  FILE* file_;
};

// Standard input holding `text`.
class Input {
 public:
  explicit Input(const std::string& text) : text_(text) {
    file_ =
        text_.empty() ? std::fopen("/dev/null", "r") : fmemopen(text_.data(), text_.size(), "r");
  }
  ~Input() { std::fclose(file_); }
  FILE* get() { return file_; }

 private:
  std::string text_;
  FILE* file_;
};

Outcome Parse(std::vector<std::string> args, RunOptions& options, std::string* printed = nullptr) {
  std::vector<const char*> argv{"kxtload"};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  Output out;
  Outcome outcome = ParseArguments(static_cast<int>(argv.size()), argv.data(), out.get(), options);
  if (printed) *printed = out.Text();
  return outcome;
}

TEST(KxtloadArgumentsTest, PositionalArgumentsAndSwitchesInAnyOrder) {
  struct Case {
    std::vector<std::string> args;
    int channel;
    std::string file, address, route;
    int status_register, channel_count;
    bool auto_start, erase;
    std::string port_settings;
  } cases[] = {
      {{"2", "prog", "com1:"}, 2, "prog", "com1:", "", 0, 1, false, true, ""},
      {{"-A", "3", "-n", "f.KXB", "/S100", "10.0.0.5:5020", "-c2", "7"},
       3,
       "f.KXB",
       "10.0.0.5:5020",
       "7",
       100,
       2,
       true,
       false,
       ""},
      {{"/a", "/N", "/C3", "/s7", "/m19200,N,8,1", "4", "x", "h.dom"},
       4,
       "x",
       "h.dom",
       "",
       7,
       3,
       true,
       false,
       "19200,N,8,1"},
      // A first argument that is no number is a channel of 0: it is lost
      // and the next argument is tried as the channel.
      {{"prog", "2", "prog2", "a.b"}, 2, "prog2", "a.b", "", 0, 1, false, true, ""},
      {{"0", "x", "1", "f", "a.b"}, 1, "f", "a.b", "", 0, 1, false, true, ""},
      {{"1", "f", "a.b", "N", "3,12", "G"}, 1, "f", "a.b", "N 3,12 G", 0, 1, false, true, ""},
      // "-C" alone is a count of 0; "-S0" leaves the default.
      {{"1", "f", "a.b", "-C", "-S0"}, 1, "f", "a.b", "", 0, 0, false, true, ""},
      {{"1", "f", "a.b", "-S3000", "-C-2"}, 1, "f", "a.b", "", 3000, -2, false, true, ""},
      // Paths hold a second "/": they are never switches.
      {{"1", "/home/me/prog.KXB", "/dev/ttyUSB0"},
       1,
       "/home/me/prog.KXB",
       "/dev/ttyUSB0",
       "",
       0,
       1,
       false,
       true,
       ""},
      // Too large for 16 bits: kept as typed, so that it is refused later.
      {{"65537", "f", "a.b", "-S65538"}, 65537, "f", "a.b", "", 65538, 1, false, true, ""},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const std::string& arg : c.args) joined += arg + " ";
    SCOPED_TRACE(joined);
    RunOptions options;
    ASSERT_EQ(Parse(c.args, options), Outcome::Continue);
    EXPECT_EQ(options.channel, c.channel);
    EXPECT_EQ(options.file_name, c.file);
    EXPECT_EQ(options.address, c.address);
    EXPECT_EQ(options.route_text, c.route);
    EXPECT_EQ(options.status_register, c.status_register);
    EXPECT_EQ(options.channel_count, c.channel_count);
    EXPECT_EQ(options.auto_start, c.auto_start);
    EXPECT_EQ(options.erase, c.erase);
    EXPECT_EQ(options.port_settings, c.port_settings);
  }
}

TEST(KxtloadArgumentsTest, HelpVersionAndUnknownSwitches) {
  for (const char* help : {"-?", "-h", "-H", "/?", "--help"}) {
    RunOptions options;
    std::string printed;
    EXPECT_EQ(Parse({"1", help, "-Q"}, options, &printed), Outcome::ExitSuccess) << help;
    EXPECT_EQ(printed.rfind("Usage is:\n", 0), 0u) << help;
    EXPECT_NE(printed.find("  -?        Display this help message.\n"), std::string::npos);
  }
  // --version anywhere: the banner, already printed, says it all.
  for (std::vector<std::string> args :
       {std::vector<std::string>{"--version"}, {"-Q", "1", "--version"}, {"-?", "--version"}}) {
    RunOptions options;
    std::string printed;
    EXPECT_EQ(Parse(args, options, &printed), Outcome::ExitSuccess) << args[0];
    EXPECT_EQ(printed, "");
  }
  struct Case {
    const char* arg;
    const char* message;
  } cases[] = {{"-Q", "Unrecognized switch: \"-Q\"\n"},
               {"-", "Unrecognized switch: \"-\"\n"},
               {"/x", "Unrecognized switch: \"/x\"\n"},
               {"-Blah", "Unrecognized switch: \"-Blah\"\n"}};
  for (const Case& c : cases) {
    RunOptions options;
    std::string printed;
    EXPECT_EQ(Parse({"1", "f", c.arg}, options, &printed), Outcome::ExitFailure) << c.arg;
    EXPECT_EQ(printed, c.message);
  }
}

// Names and the route are never cut into another name or route: they are
// kept whole up to their limits (4095 characters for a file name or an
// address, 80 for the route) and refused beyond. Port settings are cut (and
// then refused as settings).
TEST(KxtloadArgumentsTest, LongTextsAreKeptWholeOrRefused) {
  RunOptions options;
  std::string longest_name(kFileNameLimit - 1, 'f');
  std::string longest_address(kAddressLimit - 1, 'a');
  std::string long_settings(100, '9');
  std::string longest_route = std::string(40, '1') + " " + std::string(39, '2');
  ASSERT_EQ(Parse({"1", longest_name, longest_address, "-M" + long_settings, std::string(40, '1'),
                   std::string(39, '2')},
                  options),
            Outcome::Continue);
  EXPECT_EQ(std::string(options.file_name), longest_name);
  EXPECT_EQ(std::string(options.address), longest_address);
  EXPECT_EQ(std::string(options.port_settings), long_settings.substr(0, kPortSettingsLimit - 1));
  EXPECT_EQ(std::string(options.route_text), longest_route);

  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"1", std::string(kFileNameLimit, 'f'), "a.b"},
       "File name too long: at most 4095 characters.\n"},
      {{"1", "f", std::string(kAddressLimit, 'a')}, "Address too long: at most 4095 characters.\n"},
      {{"1", "f", "a.b", std::string(81, '1')}, "Route too long: at most 80 characters.\n"},
      {{"1", "f", "a.b", std::string(40, '1'), std::string(40, '2')},
       "Route too long: at most 80 characters.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    RunOptions refused;
    std::string printed;
    EXPECT_EQ(Parse(c.args, refused, &printed), Outcome::ExitFailure);
    EXPECT_EQ(printed, c.message);
  }
}

TEST(KxtloadRouteTest, DropsAndFlags) {
  struct Case {
    const char* text;
    std::vector<uint16_t> drops;
    bool net_to_net, gateway;
  } cases[] = {
      {"", {}, false, false},
      {"N 3,12", {3, 12}, true, false},
      {"n3,12", {3, 12}, true, false},
      {"G", {}, false, true},
      {"g 1", {1}, false, true},
      {"7", {7}, false, false},
      // After the eighth drop the rest is ignored, letters included.
      {"1 2 3 4 5 6 7 8 9 10", {1, 2, 3, 4, 5, 6, 7, 8}, false, false},
      {"1,2,3,4,5,6,7,8 G N", {1, 2, 3, 4, 5, 6, 7, 8}, false, false},
      {"x;1/2", {1, 2}, false, false},
      {"99999999999999999999", {65535}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    RunOptions options;
    std::snprintf(options.route_text, kTextLimit, "%s", c.text);
    ParseRoute(options);
    ASSERT_EQ(options.route.count, c.drops.size());
    for (size_t i = 0; i < c.drops.size(); ++i) EXPECT_EQ(options.route.drops[i], c.drops[i]);
    EXPECT_EQ(options.net_to_net, c.net_to_net);
    EXPECT_EQ(options.gateway, c.gateway);
  }
}

TEST(KxtloadPromptTest, ChannelAndStatusRegisterTakeOneWholeLineEach) {
  struct Case {
    std::string input;
    int channel, status_register;
  } cases[] = {
      {"3\n17\n", 3, 17},
      {"3 and more\n  12x\n", 3, 12},
      {"abc\n\n", 0, 0},
      {"", 0, 0},
      {"-2\n+5\n", 0, 0},
      // An overlong line is dropped whole: it never answers the next prompt.
      {"2" + std::string(500, '9') + "\n5\n", 2147483647, 5},
      {"4" + std::string(500, 'x') + "\n6\n", 4, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input.substr(0, 20));
    Input in(c.input);
    Output out;
    RunOptions options;
    options.status_register = 99;  // an -S value: the answer replaces it
    AskChannelAndStatusRegister(in.get(), out.get(), options);
    EXPECT_EQ(options.channel, c.channel);
    EXPECT_EQ(options.status_register, c.status_register);
    EXPECT_EQ(out.Text(), "Channel (1..4)? Status register (2..2047)? ");
  }
}

TEST(KxtloadPromptTest, TextAnswersAreCutAndTheRestOfTheLineDropped) {
  Input in(std::string(300, 'a') + "\r\nsecond\nthird");
  Output out;
  char text[kTextLimit];
  EXPECT_FALSE(AskText(in.get(), out.get(), "File? ", text, sizeof text));  // cut
  EXPECT_EQ(std::string(text), std::string(kTextLimit - 1, 'a'));
  EXPECT_TRUE(AskText(in.get(), out.get(), "Port, IP address, or host name? ", text, sizeof text));
  EXPECT_EQ(std::string(text), "second");
  EXPECT_TRUE(AskText(in.get(), out.get(), "File? ", text, sizeof text));
  EXPECT_EQ(std::string(text), "third");
  EXPECT_TRUE(AskText(in.get(), out.get(), "File? ", text, sizeof text));
  EXPECT_EQ(std::string(text), "");
  EXPECT_EQ(out.Text(), "File? Port, IP address, or host name? File? File? ");

  // The longest answer fits, whatever line break follows it.
  for (const char* end : {"\n", "\r\n", ""}) {
    Input longest(std::string(kTextLimit - 1, 'b') + end);
    EXPECT_TRUE(AskText(longest.get(), out.get(), "File? ", text, sizeof text));
    EXPECT_EQ(std::string(text), std::string(kTextLimit - 1, 'b'));
  }
}

}  // namespace
}  // namespace kxtload
