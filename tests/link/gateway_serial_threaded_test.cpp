// Gateway and Modbus serial links through the real worker on an in-process
// pseudo-terminal pair: the request runs on its own thread, the test plays
// the device on the master side.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "link/link.h"
#include "platform/pty_pair.h"
#include "tests/support/serial_peer.h"

namespace linklib {
namespace {

using std::chrono::milliseconds;

// Reads from the far end until `expected.size()` bytes came (bounded).
std::string ReadLine(platform::PtyPair& pty, size_t size) {
  std::string text(size, '\0');
  text.resize(pty.ReadMaster(text.data(), size, milliseconds(10000)));
  return text;
}

void Write(platform::PtyPair& pty, const std::string& text) {
  ASSERT_TRUE(pty.WriteMaster(text.data(), text.size()));
}

TEST(GatewayOverSerial, ReadAndLongWriteThroughTheWorker) {
  platform::PtyPair pty;
  ASSERT_TRUE(pty.valid());
  Route route;
  route.count = 2;
  route.drops[0] = 3;
  route.drops[1] = 14;
  LinkHandle* link = OpenGateway(pty.slave_path().c_str(), &route);
  ASSERT_NE(link, nullptr);
  ASSERT_EQ(SetPortMode8(link, 57600, 0, 1, 1000), 1);

  uint16_t words[2] = {};
  int result = 0;
  std::thread request([&] { result = ReadRegisters(link, 100, 2, words); });
  EXPECT_EQ(ReadLine(pty, 7), "A 3 14\r");
  Write(pty, "\r");
  EXPECT_EQ(ReadLine(pty, 8), "R 100 2\r");
  Write(pty, "100 200\r\n");  // the LF starts a line of its own, never a reply
  request.join();
  EXPECT_EQ(result, 2) << LinkMessage(link);
  EXPECT_EQ(words[0], 100);
  EXPECT_EQ(words[1], 200);

  uint16_t values[128];
  std::string expected = "W 1";
  for (int i = 0; i < 128; ++i) {
    values[i] = static_cast<uint16_t>(65535 - i);
    expected += " " + std::to_string(values[i]);
  }
  expected += "\r";
  std::thread write([&] { result = WriteRegisters(link, 1, 128, values); });
  EXPECT_EQ(ReadLine(pty, expected.size()), expected);
  Write(pty, "\r");
  write.join();
  EXPECT_EQ(result, 128) << LinkMessage(link);
  CloseLink(link);
}

// A device that keeps sending a line that is not the acknowledgement, a new
// one before each wait could run out: the request still ends, "A" the only
// command sent.
TEST(GatewayOverSerial, EndlessOtherLinesEndTheRequestAfterTheReplyTimeout) {
  testsupport::SerialPeer peer(testsupport::SerialPeer::Repeating("ERR 1\r"));
  ASSERT_TRUE(peer.valid());
  Route route;
  route.count = 1;
  route.drops[0] = 2;
  LinkHandle* link = OpenGateway(peer.path().c_str(), &route);
  ASSERT_NE(link, nullptr);
  ASSERT_EQ(SetPortMode8(link, 57600, 0, 1, 20), 1);
  uint16_t words[1] = {};
  auto read = std::async(std::launch::async, [&] { return ReadRegisters(link, 1, 1, words); });
  ASSERT_EQ(read.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  EXPECT_EQ(read.get(), 0);
  EXPECT_STREQ(LinkMessage(link), "No valid reply to A command");
  EXPECT_EQ(peer.Received(), "A 2\r");
  CloseLink(link);
}

TEST(ModbusOverSerial, RtuReplyEndsWhenTheLineGoesQuiet) {
  platform::PtyPair pty;
  ASSERT_TRUE(pty.valid());
  LinkHandle* link = OpenModbusRTU(pty.slave_path().c_str(), 1);
  ASSERT_NE(link, nullptr);
  ASSERT_EQ(SetPortMode8(link, 19200, 0, 1, 1000), 1);
  uint16_t words[1] = {};
  int result = 0;
  std::thread request([&] { result = ReadRegisters(link, 1, 1, words); });
  EXPECT_EQ(ReadLine(pty, 8), std::string("\x01\x03\x00\x00\x00\x01\x84\x0A", 8));
  Write(pty, std::string("\x01\x03\x02\x12\x34\xB5\x33", 7));
  request.join();
  EXPECT_EQ(result, 1) << LinkMessage(link);
  EXPECT_EQ(words[0], 0x1234);
  CloseLink(link);
}

}  // namespace
}  // namespace linklib
