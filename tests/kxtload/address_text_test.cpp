// The address splitter that kxtload and quillet share: the form of the
// address, the COM port settings after the colon, and host and TCP port.
#include "cli/address_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

TEST(AddressTextTest, FormsAndUpperCase) {
  struct Case {
    const char* typed;
    cli::AddressForm form;
    const char* after;  // the address afterwards
  } cases[] = {
      {"com1:", cli::AddressForm::ComPort, "COM1:"},
      {"Com9:19200,n,8,1", cli::AddressForm::ComPort, "COM9:19200,N,8,1"},
      {"COM10:", cli::AddressForm::Other, "COM10:"},  // the colon is not fifth
      {"COM:", cli::AddressForm::Other, "COM:"},
      {"COM", cli::AddressForm::Other, "COM"},
      {"/dev/ttyUSB0", cli::AddressForm::DevicePath, "/dev/ttyUSB0"},  // as typed
      {"/dev/pts/7", cli::AddressForm::DevicePath, "/dev/pts/7"},
      {"host.example:502", cli::AddressForm::Other, "HOST.EXAMPLE:502"},
      {"", cli::AddressForm::Other, ""},
  };
  for (const Case& c : cases) {
    char address[84];
    std::snprintf(address, sizeof address, "%s", c.typed);
    EXPECT_EQ(cli::ClassifyAddress(address), c.form) << c.typed;
    EXPECT_STREQ(address, c.after) << c.typed;
  }
}

TEST(AddressTextTest, ComPortSettingsAfterTheColon) {
  struct Case {
    const char* address;
    bool settings_given;  // -M was used
    const char* settings_before;
    const char* settings_after;
    const char* notices;
  } cases[] = {
      {"COM2:", false, "", "", ""},
      {"COM2:", true, "9600,E,8,1", "9600,E,8,1", ""},
      {"COM2:19200,N,8,1", false, "", "19200,N,8,1", ""},
      {"COM2:19200,N,8,1", true, "9600,E,8,1", "19200,N,8,1",
       "\nWhen using -M, don't provide setup information after COM2:\n"
       "  Using settings: 19200,N,8,1\n\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    char address[84];
    char settings[41];
    std::snprintf(address, sizeof address, "%s", c.address);
    std::snprintf(settings, sizeof settings, "%s", c.settings_before);
    char* printed = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&printed, &size);
    cli::TakeComPortSettings(address, c.settings_given, settings, sizeof settings, out);
    std::fclose(out);
    EXPECT_STREQ(address, "COM2:");
    EXPECT_STREQ(settings, c.settings_after);
    EXPECT_EQ(std::string(printed, size), c.notices);
    std::free(printed);
  }
  // Settings longer than their text are cut, never overrun.
  char address[84] = "COM1:";
  std::snprintf(address + 5, sizeof address - 5, "%s", std::string(70, '9').c_str());
  char settings[41];
  FILE* out = std::fopen("/dev/null", "w");
  cli::TakeComPortSettings(address, false, settings, sizeof settings, out);
  std::fclose(out);
  EXPECT_EQ(std::string(settings), std::string(40, '9'));
}

// A port that does not fit in 16 bits is refused: it never wraps onto
// another port (70000 would be 4464).
TEST(AddressTextTest, HostAndPort) {
  struct Case {
    const char* address;
    const char* host;
    uint32_t port;
    bool fits;
  } cases[] = {
      {"10.0.0.5", "10.0.0.5", 502, true},  // no colon: the default stays
      {"10.0.0.5:5020", "10.0.0.5", 5020, true},
      {"10.0.0.5:65535", "10.0.0.5", 65535, true},
      {"10.0.0.5:0", "10.0.0.5", 0, true},
      {"10.0.0.5:", "10.0.0.5", 0, true},       // no digits give 0
      {"10.0.0.5:80X1", "10.0.0.5", 80, true},  // leading digits
      {"HOST.DOM:1502", "HOST.DOM", 1502, true},
      {"10.0.0.5:65536", "10.0.0.5", 65536, false},
      {"127.0.0.1:70000", "127.0.0.1", 70000, false},
      {"10.0.0.5:4294967296", "10.0.0.5", 0xFFFFFFFF, false},
      {"10.0.0.5:99999999999999999999", "10.0.0.5", 0xFFFFFFFF, false},
      {"A.B:1:2", "A.B", 1, true},  // cut at the first colon
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    char address[84];
    std::snprintf(address, sizeof address, "%s", c.address);
    uint32_t port = 502;
    EXPECT_EQ(cli::SplitHostAndPort(address, port), c.fits);
    EXPECT_STREQ(address, c.host);
    EXPECT_EQ(port, c.port);
  }
}

}  // namespace
