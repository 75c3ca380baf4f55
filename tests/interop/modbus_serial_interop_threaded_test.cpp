// Our Modbus RTU and ASCII links against slaves of other implementations
// (pymodbus, libmodbus) over pseudo-terminals: what one side frames the other
// must read, values and exceptions alike.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/link.h"
#include "tests/interop/peer_process.h"

namespace {

using linklib::LinkHandle;

constexpr uint16_t kSlave = 17;
constexpr uint32_t kBaud = 19200;

struct Peer {
  const char* name;
  bool ascii;
};

void PrintTo(const Peer& peer, std::ostream* out) { *out << peer.name; }

class ModbusSerialInterop : public ::testing::TestWithParam<Peer> {
 protected:
  void SetUp() override {
    peer_ = interop::PeerProcess::Start(
        {KXT_PYTHON, KXT_SOURCE_DIR "/tests/interop/modbus_serial_peer.py", GetParam().name,
         std::to_string(kSlave), std::to_string(kBaud)},
        std::chrono::seconds(20));
    ASSERT_TRUE(peer_) << "the peer did not start";
    const char* path = peer_->device_path().c_str();
    link_ = GetParam().ascii ? linklib::OpenModbusAscii(path, kSlave)
                             : linklib::OpenModbusRTU(path, kSlave);
    ASSERT_NE(link_, nullptr);
    // No parity: these slaves frame 8N1. Reply time-out 2 s as a failure bound.
    ASSERT_EQ(linklib::SetPortMode8(link_, kBaud, 0, 1, 200), 1);
  }
  void TearDown() override {
    if (link_) linklib::CloseLink(link_);
    peer_.reset();
  }

  std::unique_ptr<interop::PeerProcess> peer_;
  LinkHandle* link_ = nullptr;
};

TEST_P(ModbusSerialInterop, ReadsWhatTheSlaveHolds) {
  uint16_t words[125] = {};
  ASSERT_EQ(linklib::ReadRegisters(link_, 1, 10, words), 10) << linklib::LinkMessage(link_);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(words[i], 1000 + i);
  // The longest read these slaves serve.
  ASSERT_EQ(linklib::ReadRegisters(link_, 51, 125, words), 125) << linklib::LinkMessage(link_);
  EXPECT_EQ(words[0], 1050);
  EXPECT_EQ(words[124], 1174);
}

TEST_P(ModbusSerialInterop, WritesAreReadBack) {
  const uint16_t values[] = {0, 0x8001, 40000, 65535, 0x0D0A};
  ASSERT_EQ(linklib::WriteRegisters(link_, 21, 5, values), 5) << linklib::LinkMessage(link_);
  uint16_t words[7] = {};
  ASSERT_EQ(linklib::ReadRegisters(link_, 20, 7, words), 7) << linklib::LinkMessage(link_);
  EXPECT_EQ(words[0], 1019);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(words[i + 1], values[i]);
  EXPECT_EQ(words[6], 1025);
}

TEST_P(ModbusSerialInterop, ExceptionsComeBackAsTheirTexts) {
  uint16_t words[128] = {};
  // Past the slave's 200 registers.
  EXPECT_EQ(linklib::ReadRegisters(link_, 301, 2, words), 0);
  EXPECT_STREQ(linklib::LinkMessage(link_), "Modbus error reply 2 ILLEGAL DATA ADDRESS");
  // Then a good request still works: nothing was left on the line.
  EXPECT_EQ(linklib::ReadRegisters(link_, 2, 1, words), 1) << linklib::LinkMessage(link_);
  EXPECT_EQ(words[0], 1001);
}

INSTANTIATE_TEST_SUITE_P(Peers, ModbusSerialInterop,
                         ::testing::Values(Peer{"pymodbus-rtu", false},
                                           Peer{"pymodbus-ascii", true},
                                           Peer{"libmodbus-rtu", false}),
                         [](const ::testing::TestParamInfo<Peer>& info) {
                           std::string name = info.param.name;
                           for (char& c : name)
                             if (c == '-') c = '_';
                           return name;
                         });

}  // namespace
