// The serial port list built from a fake sysfs tree and KXT_PORTS.
#include "console/serial_ports.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace console {
namespace {

class SerialPorts : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kxt_sysfs_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    ASSERT_EQ(mkdir((root_ + "/class").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((root_ + "/class/tty").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((root_ + "/devices").c_str(), 0755), 0);
    unsetenv("KXT_PORTS");
  }
  void TearDown() override {
    unsetenv("KXT_PORTS");
    ListSerialPorts((root_ + "/none").c_str());  // leave the table empty for other tests
    std::system(("rm -rf " + root_).c_str());
  }

  // A tty entry; with a device link when on_device, and a type file when type >= 0.
  void AddTerminal(const std::string& name, bool on_device, int type = -1) {
    std::string entry = root_ + "/class/tty/" + name;
    ASSERT_EQ(mkdir(entry.c_str(), 0755), 0);
    if (on_device) {
      ASSERT_EQ(symlink((root_ + "/devices").c_str(), (entry + "/device").c_str()), 0);
    }
    if (type >= 0) {
      std::FILE* file = std::fopen((entry + "/type").c_str(), "w");
      ASSERT_NE(file, nullptr);
      std::fprintf(file, "%d\n", type);
      std::fclose(file);
    }
  }

  static std::vector<std::string> Listed() {
    std::vector<std::string> names;
    for (int i = 0; i < kSerialPortSlots && SerialPortNames[i] != nullptr; ++i) {
      names.push_back(SerialPortNames[i]);
    }
    return names;
  }

  std::string root_;
};

TEST_F(SerialPorts, PortsOnADeviceSortedAndEmptySerialSlotsLeftOut) {
  AddTerminal("ttyS0", true, 0);  // an 8250 slot with no UART
  AddTerminal("ttyS10", true, 4);
  AddTerminal("ttyS2", true, 4);
  AddTerminal("ttyUSB0", true);
  AddTerminal("ttyACM0", true);
  AddTerminal("tty0", false);  // virtual console
  AddTerminal("ptmx", false);
  const std::vector<std::string> expected = {"ttyACM0", "ttyS2", "ttyS10", "ttyUSB0"};
  EXPECT_EQ(ListSerialPorts(root_.c_str()), 0);
  EXPECT_EQ(Listed(), expected);
  // Called again: the same list, the old texts freed (the sanitizer build checks).
  EXPECT_EQ(ListSerialPorts(root_.c_str()), 0);
  EXPECT_EQ(Listed(), expected);

  setenv("KXT_PORTS", "/dev/pts/7::/tmp/sim port", 1);
  EXPECT_EQ(ListSerialPorts(root_.c_str()), 0);
  const std::vector<std::string> with_extra = {"ttyACM0", "ttyS2",      "ttyS10",
                                               "ttyUSB0", "/dev/pts/7", "/tmp/sim port"};
  EXPECT_EQ(Listed(), with_extra);
}

TEST_F(SerialPorts, AtMost39Names) {
  for (int i = 0; i < 45; ++i) AddTerminal("ttyUSB" + std::to_string(i), true);
  setenv("KXT_PORTS", "/dev/pts/7", 1);
  for (int call = 0; call < 2; ++call) {
    EXPECT_EQ(ListSerialPorts(root_.c_str()), 0);
    std::vector<std::string> names = Listed();
    ASSERT_EQ(names.size(), 39u);
    EXPECT_EQ(names.front(), "ttyUSB0");
    EXPECT_EQ(names.back(), "ttyUSB38");
    EXPECT_EQ(SerialPortNames[39], nullptr);
  }
}

TEST_F(SerialPorts, NoTreeGivesAnEmptyListUnlessKxtPortsNamesSome) {
  AddTerminal("ttyUSB0", true);
  ASSERT_EQ(ListSerialPorts(root_.c_str()), 0);
  EXPECT_NE(ListSerialPorts((root_ + "/missing").c_str()), 0);
  EXPECT_EQ(SerialPortNames[0], nullptr);

  setenv("KXT_PORTS", "/dev/pts/3", 1);
  EXPECT_EQ(ListSerialPorts((root_ + "/missing").c_str()), 0);
  EXPECT_EQ(Listed(), std::vector<std::string>{"/dev/pts/3"});
}

TEST(SerialPortPath, DeviceNamesGetDevAndPathsStayWhole) {
  struct Case {
    const char* name;
    int capacity;
    bool fits;
    const char* path;
  };
  const Case cases[] = {
      {"ttyUSB0", 64, true, "/dev/ttyUSB0"}, {"/dev/pts/7", 64, true, "/dev/pts/7"},
      {"ttyUSB0", 13, true, "/dev/ttyUSB0"}, {"ttyUSB0", 12, false, nullptr},  // refused, never cut
      {"/dev/pts/7", 10, false, nullptr},
  };
  for (const Case& c : cases) {
    char path[64] = {};
    EXPECT_EQ(SerialPortPath(c.name, path, c.capacity), c.fits) << c.name << " " << c.capacity;
    if (c.fits) {
      EXPECT_STREQ(path, c.path);
    }
  }
}

}  // namespace
}  // namespace console
