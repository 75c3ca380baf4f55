// Gateway links byte by byte: the command lines sent, the announced route
// kept and forgotten, the reply lines, and the register limits.
#include <gtest/gtest.h>

#include <string>

#include "link/protocols.h"
#include "tests/link/scripted_line.h"

namespace linklib {
namespace {

using testing::ScriptedLine;
using testing::Text;

constexpr uint8_t kGateway = 2;

struct GatewayLine : ScriptedLine {
  explicit GatewayLine(std::initializer_list<uint16_t> drops) : ScriptedLine(kGateway, 0) {
    h->route.count = static_cast<uint16_t>(drops.size());
    int i = 0;
    for (uint16_t d : drops) h->route.drops[i++] = d;
  }
  void ReplyText(const std::string& text) { Reply(Text(text)); }
};

TEST(Gateway, ReadAnnouncesTheRouteThenReads) {
  GatewayLine line({3, 14});
  line.ReplyText("\r");
  line.ReplyText("100 200\r");
  uint16_t words[2] = {};
  EXPECT_EQ(GatewayReadRegisters(line.h, 100, 2, words), 2) << line.h->message;
  EXPECT_EQ(line.TakeSentText(), "A 3 14\rR 100 2\r");
  EXPECT_EQ(words[0], 100);
  EXPECT_EQ(words[1], 200);
  EXPECT_EQ(line.h->reply_expected.load(), 0);
}

TEST(Gateway, RouteIsAnnouncedOnceUntilAnExchangeFails) {
  GatewayLine line({3, 14});
  uint16_t words[1];
  line.ReplyText("\r");
  line.ReplyText("7\r");
  ASSERT_EQ(GatewayReadRegisters(line.h, 1, 1, words), 1);
  line.ReplyText("8\r");
  ASSERT_EQ(GatewayReadRegisters(line.h, 2, 1, words), 1);
  EXPECT_EQ(line.TakeSentText(), "A 3 14\rR 1 1\rR 2 1\r");

  line.h->reply_timeout = 2;  // no reply to the next read
  EXPECT_EQ(GatewayReadRegisters(line.h, 3, 1, words), 0);
  EXPECT_STREQ(line.h->message, "No reply to R command");
  EXPECT_EQ(line.TakeSentText(), "R 3 1\r");

  line.ReplyText("\r");
  line.ReplyText("9\r");
  EXPECT_EQ(GatewayReadRegisters(line.h, 4, 1, words), 1);
  EXPECT_EQ(line.TakeSentText(), "A 3 14\rR 4 1\r");

  // A new route on the handle is announced before the next command.
  line.h->route.count = 1;
  line.h->route.drops[0] = 7;
  line.ReplyText("\r");
  line.ReplyText("\r");
  uint16_t value = 1;
  EXPECT_EQ(GatewayWriteRegisters(line.h, 4, 1, &value), 1);
  EXPECT_EQ(line.TakeSentText(), "A 7\rW 4 1\r");
}

TEST(Gateway, UnacknowledgedAnnouncementIsRepeated) {
  GatewayLine line({5});
  line.h->reply_timeout = 2;
  uint16_t words[1];
  EXPECT_EQ(GatewayReadRegisters(line.h, 1, 1, words), 0);
  EXPECT_STREQ(line.h->message, "No valid reply to A command");
  EXPECT_EQ(line.TakeSentText(), "A 5\r");
  line.ReplyText("\r");
  line.ReplyText("1\r");
  EXPECT_EQ(GatewayReadRegisters(line.h, 1, 1, words), 1);
  EXPECT_EQ(line.TakeSentText(), "A 5\rR 1 1\r");
}

TEST(Gateway, AnnouncementWaitSkipsOtherLines) {
  GatewayLine line({});
  line.ReplyText("BUSY\r");
  line.ReplyText("\r");
  line.ReplyText("42\r");
  uint16_t words[1];
  EXPECT_EQ(GatewayReadRegisters(line.h, 1, 1, words), 1) << line.h->message;
  EXPECT_EQ(line.TakeSentText(), "A\rR 1 1\r");
  EXPECT_EQ(words[0], 42);
}

struct ReadReplyCase {
  const char* reply;
  uint32_t count;
  int result;
  std::vector<uint16_t> words;
  const char* message;
};

const ReadReplyCase kReadReplies[] = {
    {"100 200\r", 2, 2, {100, 200}, ""},
    {"100 200\r", 3, 0, {}, "Read reply too short"},
    {"1,2;3\r", 3, 3, {1, 2, 3}, ""},
    {"65535 65536 70000\r", 3, 3, {65535, 0, 4464}, ""},  // kept as 16 bits
    {"ERROR 12\r", 1, 0, {}, "Read reply too short"},
    {"5 6 7\r", 2, 2, {5, 6}, ""},
    {"\r", 1, 0, {}, "Read reply too short"},
    {"12\n", 1, 1, {12}, ""},
};

TEST(Gateway, ReadReplyParsing) {
  for (const ReadReplyCase& c : kReadReplies) {
    SCOPED_TRACE(c.reply);
    GatewayLine line({1});
    line.ReplyText("\r");
    line.ReplyText(c.reply);
    uint16_t words[4] = {};
    SetMessage(line.h, "");
    EXPECT_EQ(GatewayReadRegisters(line.h, 10, c.count, words), c.result);
    if (c.result) {
      EXPECT_EQ(std::vector<uint16_t>(words, words + c.words.size()), c.words);
    } else {
      EXPECT_STREQ(line.h->message, c.message);
      EXPECT_EQ(line.h->gateway_route_sent.count, 0xFFFF);
    }
  }
}

TEST(Gateway, WriteSendsEveryValueInDecimal) {
  GatewayLine line({2});
  line.ReplyText("\r");
  line.ReplyText("\r");
  const uint16_t values[] = {0, 40000, 65535};
  EXPECT_EQ(GatewayWriteRegisters(line.h, 8190, 3, values), 3) << line.h->message;
  EXPECT_EQ(line.TakeSentText(), "A 2\rW 8190 0 40000 65535\r");
}

// 128 large values do not fit one frame buffer: the line continues in more
// buffers and leaves as one command.
TEST(Gateway, LongWriteLeavesWhole) {
  GatewayLine line({2});
  line.h->gateway_route_sent = line.h->route;
  line.ReplyText("\r");
  uint16_t values[128];
  std::string expected = "W 1";
  for (int i = 0; i < 128; ++i) {
    values[i] = static_cast<uint16_t>(60000 + i);
    expected += " " + std::to_string(values[i]);
  }
  expected += "\r";
  EXPECT_EQ(GatewayWriteRegisters(line.h, 1, 128, values), 128) << line.h->message;
  EXPECT_EQ(line.TakeSentText(), expected);
}

TEST(Gateway, WriteReplyOtherThanCrIsDroppedAndTheWaitStartsAgain) {
  GatewayLine line({2});
  line.ReplyText("\r");
  line.ReplyText("ERROR\r");
  line.ReplyText("\r");
  uint16_t value = 5;
  EXPECT_EQ(GatewayWriteRegisters(line.h, 1, 1, &value), 1) << line.h->message;
  EXPECT_EQ(line.TakeSentText(), "A 2\rW 1 5\r");
  // The error line made the link forget its announcement.
  line.ReplyText("\r");
  line.ReplyText("\r");
  EXPECT_EQ(GatewayWriteRegisters(line.h, 1, 1, &value), 1);
  EXPECT_EQ(line.TakeSentText(), "A 2\rW 1 5\r");

  line.h->reply_timeout = 3;
  line.ReplyText("NO\r");
  EXPECT_EQ(GatewayWriteRegisters(line.h, 1, 1, &value), 0);
  EXPECT_STREQ(line.h->message, "No valid reply to W command");
  EXPECT_EQ(line.TakeSentText(), "W 1 5\r");
  EXPECT_EQ(line.h->gateway_route_sent.count, 0xFFFF);
}

// A device that answers every command with a line other than the
// acknowledgement, without end: the wait still ends after the reply
// time-out counted from the command, while the lines keep coming.
constexpr int kFloodLimit = 2000000;
GatewayLine* flooded_line = nullptr;
int flood_lines_sent = 0;
uint32_t FloodWithOtherLines(uint32_t) {
  flooded_line->TakeSent();
  if (flood_lines_sent < kFloodLimit) {
    ++flood_lines_sent;
    flooded_line->Feed(Text("?\r"));
  }
  return 1;
}

TEST(Gateway, OtherLinesNeverExtendTheAcknowledgementWait) {
  struct Case {
    bool announced;  // the route was acknowledged before: W waits, not A
    const char* message;
  } cases[] = {{false, "No valid reply to A command"}, {true, "No valid reply to W command"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    GatewayLine line({4});
    if (c.announced) line.h->gateway_route_sent = line.h->route;
    line.h->reply_timeout = 5;
    line.h->wait_callback = FloodWithOtherLines;
    flooded_line = &line;
    flood_lines_sent = 0;
    uint16_t value = 1;
    EXPECT_EQ(GatewayWriteRegisters(line.h, 1, 1, &value), 0);
    EXPECT_STREQ(line.h->message, c.message);
    EXPECT_GT(flood_lines_sent, 0);
    EXPECT_LT(flood_lines_sent, kFloodLimit);  // it ended while the lines still came
  }
}

TEST(Gateway, StatusPortionIsRefusedBeforeAnyTraffic) {
  GatewayLine line({1});
  uint16_t words[3] = {};
  EXPECT_EQ(GatewayReadRegisters(line.h, 8191, 3, words), 0);
  EXPECT_STREQ(line.h->message, "Gateway can't read status portion");
  EXPECT_EQ(GatewayWriteRegisters(line.h, 8191, 3, words), 0);
  EXPECT_STREQ(line.h->message, "Gateway can't write status portion");
  EXPECT_EQ(GatewayReadRegisters(line.h, 0xFFFFFFFF, 2, words), 0);
  EXPECT_STREQ(line.h->message, "Gateway can't read status portion");
  EXPECT_EQ(line.TakeSentText(), "");

  line.ReplyText("\r");
  line.ReplyText("1 2 3\r");
  EXPECT_EQ(GatewayReadRegisters(line.h, 8190, 3, words), 3);
  EXPECT_EQ(line.TakeSentText(), "A 1\rR 8190 3\r");
}

TEST(Gateway, RandomReadGoesInRunsOfConsecutiveRegisters) {
  GatewayLine line({1});
  line.h->gateway_route_sent = line.h->route;
  line.ReplyText("50 60 70\r");
  line.ReplyText("100 110\r");
  line.ReplyText("30\r");
  line.ReplyText("71\r");
  const uint32_t registers[] = {5, 6, 7, 10, 11, 3, 8};
  uint16_t words[7] = {};
  EXPECT_EQ(GatewayRandomRead(line.h, registers, 7, words), 7) << line.h->message;
  EXPECT_EQ(line.TakeSentText(), "R 5 3\rR 10 2\rR 3 1\rR 8 1\r");
  EXPECT_EQ(std::vector<uint16_t>(words, words + 7),
            (std::vector<uint16_t>{50, 60, 70, 100, 110, 30, 71}));

  line.ReplyText("1 2\r");
  line.ReplyText("\r");
  const uint32_t failing[] = {1, 2, 9};
  EXPECT_EQ(GatewayRandomRead(line.h, failing, 3, words), 0);
  EXPECT_STREQ(line.h->message, "Read reply too short");
  EXPECT_EQ(line.TakeSentText(), "R 1 2\rR 9 1\r");
}

TEST(GatewayReceive, LinesEndAtAnyControlCharacterWithBitSevenCleared) {
  GatewayLine line({});
  line.h->reply_expected.store(1);
  line.Feed({'1', 0xB2, 0x8D, 'O', 'K', '\n'});
  FrameBuffer* first = TakeFrame(line.h->rx_queue);
  FrameBuffer* second = TakeFrame(line.h->rx_queue);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(std::string(first->data, first->data + first->length), "12\r");
  EXPECT_EQ(std::string(second->data, second->data + second->length), "OK\n");
  ReturnToPool(first);
  ReturnToPool(second);
}

TEST(GatewayReceive, OverlongLineIsCutAndItsRestDropped) {
  GatewayLine line({});
  line.h->reply_expected.store(1);
  std::string long_line(300, 'x');
  for (size_t i = 0; i < long_line.size(); ++i) long_line[i] = static_cast<char>('a' + i % 26);
  line.Feed(Text(long_line + "\r\r"));
  FrameBuffer* cut = TakeFrame(line.h->rx_queue);
  FrameBuffer* next = TakeFrame(line.h->rx_queue);
  ASSERT_TRUE(cut && next);
  EXPECT_EQ(std::string(cut->data, cut->data + cut->length), long_line.substr(0, 263));
  EXPECT_EQ(next->length, 1);  // the line after the cut one arrives intact
  EXPECT_TRUE(IsListEmpty(line.h->rx_queue));
  ReturnToPool(cut);
  ReturnToPool(next);

  // 262 characters and CR fill a frame exactly; 263 and CR lose the CR.
  line.Feed(Text(std::string(262, '1') + "\r" + std::string(263, '2') + "\r" + "3\r"));
  FrameBuffer* exact = TakeFrame(line.h->rx_queue);
  FrameBuffer* full = TakeFrame(line.h->rx_queue);
  FrameBuffer* after = TakeFrame(line.h->rx_queue);
  ASSERT_TRUE(exact && full && after);
  EXPECT_EQ(exact->length, 263);
  EXPECT_EQ(exact->data[262], '\r');
  EXPECT_EQ(full->length, 263);
  EXPECT_EQ(full->data[262], '2');
  EXPECT_EQ(std::string(after->data, after->data + after->length), "3\r");
  ReturnToPool(exact);
  ReturnToPool(full);
  ReturnToPool(after);
}

TEST(GatewayReceive, LinesWhileNoRequestWaitsAreDropped) {
  GatewayLine line({});
  line.Feed(Text("100 200\rpartial"));
  line.h->reply_expected.store(1);
  line.Feed(Text(" rest of it\r5\r"));  // the partial line is still nobody's
  FrameBuffer* frame = TakeFrame(line.h->rx_queue);
  ASSERT_TRUE(frame);
  EXPECT_EQ(std::string(frame->data, frame->data + frame->length), "5\r");
  ReturnToPool(frame);
  EXPECT_TRUE(IsListEmpty(line.h->rx_queue));
}

}  // namespace
}  // namespace linklib
