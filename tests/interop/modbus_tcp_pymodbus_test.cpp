// The Modbus TCP link against a slave of another implementation (pymodbus,
// run with Debian's Python), so that the link never meets only our own code.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "link/link.h"
#include "link/link_handle.h"
#include "tests/interop/peer_process.h"

namespace linklib {
namespace {

constexpr uint16_t kUnit = 7;

class PymodbusTcp : public ::testing::Test {
 protected:
  void SetUp() override {
    peer_ = interop::PeerProcess::Start(
        {KXT_PYTHON, std::string(KXT_SOURCE_DIR) + "/tests/interop/modbus_tcp_peer.py",
         std::to_string(kUnit)},
        std::chrono::seconds(30));
    ASSERT_NE(peer_, nullptr) << "the pymodbus slave did not start";
    port_ = static_cast<uint16_t>(std::atoi(peer_->device_path().c_str()));
    link_ = OpenModbusTCP("127.0.0.1", port_, kUnit);
    ASSERT_NE(link_, nullptr);
  }
  void TearDown() override {
    SetProgramStyle(ProgramStyle::Downloader);
    if (link_) CloseLink(link_);
  }

  std::unique_ptr<interop::PeerProcess> peer_;
  uint16_t port_ = 0;
  LinkHandle* link_ = nullptr;
  uint16_t words_[128] = {};
};

TEST_F(PymodbusTcp, ReadsAndWritesRegisters) {
  ASSERT_EQ(ReadRegisters(link_, 1, 3, words_), 1) << LinkMessage(link_);
  EXPECT_EQ(words_[0], 1000);
  EXPECT_EQ(words_[2], 1002);
  ASSERT_EQ(ReadRegisters(link_, 101, 125, words_), 1) << LinkMessage(link_);
  EXPECT_EQ(words_[0], 1100);
  EXPECT_EQ(words_[124], 1224);

  const uint16_t values[5] = {0, 1, 0x7FFF, 0x8000, 0xFFFF};
  ASSERT_EQ(WriteRegisters(link_, 51, 5, values), 1) << LinkMessage(link_);
  ASSERT_EQ(ReadRegisters(link_, 50, 7, words_), 1) << LinkMessage(link_);
  EXPECT_EQ(words_[0], 1049);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(words_[1 + i], values[i]);
  EXPECT_EQ(words_[6], 1055);

  std::vector<uint16_t> block(100);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint16_t>(0xA000 + i);
  ASSERT_EQ(WriteRegisters(link_, 151, 100, block.data()), 1) << LinkMessage(link_);
  ASSERT_EQ(ReadRegisters(link_, 151, 100, words_), 1) << LinkMessage(link_);
  EXPECT_EQ(std::vector<uint16_t>(words_, words_ + 100), block);
}

TEST_F(PymodbusTcp, RegisterEditorReads3XAsInputRegisters) {
  SetProgramStyle(ProgramStyle::RegisterEditor);
  ASSERT_EQ(Read3XRegisters(link_, 0, 11, 4, words_), 1) << LinkMessage(link_);
  EXPECT_EQ(words_[0], 2010);
  EXPECT_EQ(words_[3], 2013);
}

TEST_F(PymodbusTcp, ExceptionRepliesAndSilence) {
  EXPECT_EQ(ReadRegisters(link_, 300, 2, words_), 0);
  EXPECT_STREQ(LinkMessage(link_), "ILLEGAL DATA ADDRESS");
  const uint16_t value = 1;
  EXPECT_EQ(WriteRegisters(link_, 1000, 1, &value), 0);
  EXPECT_STREQ(LinkMessage(link_), "ILLEGAL DATA ADDRESS");

  // This slave does not answer a unit it does not serve.
  LinkHandle* other = OpenModbusTCP("127.0.0.1", port_, kUnit + 1);
  ASSERT_NE(other, nullptr);
  other->reply_timeout = 20;
  EXPECT_EQ(ReadRegisters(other, 1, 1, words_), 0);
  EXPECT_STREQ(LinkMessage(other), "Reply timeout");
  CloseLink(other);

  // The stale state of the silent request does not disturb the next one.
  ASSERT_EQ(ReadRegisters(link_, 2, 1, words_), 1) << LinkMessage(link_);
  EXPECT_EQ(words_[0], 1001);
}

}  // namespace
}  // namespace linklib
