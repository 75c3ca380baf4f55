// Terminal bytes to key codes, and the key reading above them: the Escape
// timer, the type-ahead ring, hot keys, insert mode and the job-control keys.
#include "console/key_decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/console/screen_fixture.h"

namespace console {
namespace {

std::vector<int> Decode(const std::string& bytes) {
  KeyDecoder decoder;
  for (unsigned char byte : bytes) decoder.Feed(byte, 0);
  std::vector<int> keys;
  while (decoder.HasKey()) keys.push_back(decoder.TakeKey());
  return keys;
}

struct Form {
  const char* terminal;
  std::string bytes;
  std::vector<int> keys;
};

TEST(KeyDecoder, TerminalFormsGiveTheToolkitCodes) {
  const Form forms[] = {
      // xterm, normal cursor keys
      {"xterm", "\x1b[A\x1b[B\x1b[C\x1b[D", {kKeyUp, kKeyDown, kKeyRight, kKeyLeft}},
      {"xterm", "\x1b[H\x1b[F", {kKeyHome, kKeyEnd}},
      // xterm, application cursor keys
      {"xterm app", "\x1bOA\x1bOB\x1bOC\x1bOD", {kKeyUp, kKeyDown, kKeyRight, kKeyLeft}},
      {"xterm app", "\x1bOH\x1bOF", {kKeyHome, kKeyEnd}},
      {"xterm", "\x1bOP\x1bOQ\x1bOR\x1bOS", {kKeyF1, kKeyF2, kKeyF3, kKeyF4}},
      {"xterm",
       "\x1b[15~\x1b[17~\x1b[18~\x1b[19~\x1b[20~\x1b[21~",
       {kKeyF5, kKeyF6, kKeyF7, kKeyF8, kKeyF9, kKeyF10}},
      {"xterm",
       "\x1b[2~\x1b[3~\x1b[5~\x1b[6~",
       {kKeyInsertToggle, kKeyDelete, kKeyPageUp, kKeyPageDown}},
      // VT220, tmux and screen: Home and End as Find and Select
      {"tmux", "\x1b[1~\x1b[4~", {kKeyHome, kKeyEnd}},
      // rxvt
      {"rxvt", "\x1b[7~\x1b[8~", {kKeyHome, kKeyEnd}},
      {"rxvt",
       "\x1b[11~\x1b[12~\x1b[13~\x1b[14~\x1b[15~",
       {kKeyF1, kKeyF2, kKeyF3, kKeyF4, kKeyF5}},
      // Linux console
      {"linux", "\x1b[[A\x1b[[B\x1b[[C\x1b[[D\x1b[[E", {kKeyF1, kKeyF2, kKeyF3, kKeyF4, kKeyF5}},
      {"linux", "\x1b[1~\x1b[4~\x1b[A", {kKeyHome, kKeyEnd, kKeyUp}},
      // keypad in application mode
      {"keypad", "\x1bOM\x1bOp\x1bOy\x1bOk", {kKeyEnter, '0', '9', '+'}},
      // Backspace both ways, Enter, Tab and the control keys of the editors
      {"keys", "\x7f\x08\r\t", {kKeyBackspace, kKeyBackspace, kKeyEnter, 9}},
      {"controls",
       "\x01\x04\x06\x07\x12\x15\x16\x19",
       {kKeyHome, kKeyEraseToEnd, kKeyWordRight, kKeyEnd, kKeyWordLeft, kKeyEraseToStart,
        kKeyDelete, kKeyClearField}},
      {"text", "aZ 9~", {'a', 'Z', ' ', '9', '~'}},
      // Ctrl-Enter: Ctrl-J, xterm's modifyOtherKeys, CSI u
      {"ctrl-enter", "\n", {kKeyCtrlEnter}},
      {"ctrl-enter", "\x1b[27;5;13~", {kKeyCtrlEnter}},
      {"ctrl-enter", "\x1b[13;5u", {kKeyCtrlEnter}},
      {"csi u", "\x1b[13u\x1b[27u\x1b[97;5u\x1b[65;2u", {kKeyEnter, kKeyEscape, kKeyHome, 'A'}},
      // Keys without a code are swallowed, with the keys around them kept.
      {"modified", "a\x1b[1;5A\x1b[1;2P\x1bO5P\x1b[3;5~\x1b[2$\x1b[2^b", {'a', 'b'}},
      {"F11 F12", "\x1b[23~\x1b[24~\x1b[Z", {}},
      {"alt", "\x1bx\x1b\r", {}},
      {"utf-8", "\xc3\xa9\xe2\x94\x80x\x8a", {'x'}},  // 0x8A must not become Down
      {"private", "\x1b[?1;2c\x1b[>0;1;2cq", {'q'}},
      {"nul", std::string("\0y", 2), {'y'}},
      // Ctrl+End, the terminal emulator's way out
      {"xterm tmux", "\x1b[1;5F", {kKeyCtrlEnd}},
      {"old xterm", "\x1b[5F\x1bO5F", {kKeyCtrlEnd, kKeyCtrlEnd}},
      {"vt220 keys", "\x1b[4;5~\x1b[8;5~", {kKeyCtrlEnd, kKeyCtrlEnd}},
      {"rxvt", "\x1b[8^\x1b[4^", {kKeyCtrlEnd, kKeyCtrlEnd}},
      {"not ctrl+end", "\x1b[1;2F\x1b[1;6F\x1b[1;5H\x1b[7^\x1b[4;3~", {}},
  };
  for (const Form& form : forms) {
    EXPECT_EQ(Decode(form.bytes), form.keys) << form.terminal;
  }
}

TEST(KeyDecoder, RawControlsArriveAsThemselves) {
  KeyDecoder decoder;
  decoder.SetRawControls(true);
  for (unsigned char byte : std::string("\x01\x03\x07\x16\x19\x7f\x08\x1b[13;5u\x1b[99;5u"))
    decoder.Feed(byte, 0);
  std::vector<int> keys;
  while (decoder.HasKey()) keys.push_back(decoder.TakeKey());
  EXPECT_EQ(keys, (std::vector<int>{1, 3, 7, 0x16, 0x19, kKeyBackspace, kKeyBackspace,
                                    kKeyCtrlEnter, 3}));
}

TEST(KeyDecoder, LoneEscapeComesAfterTheTimer) {
  KeyDecoder decoder;
  decoder.Feed(0x1b, 1000);
  EXPECT_TRUE(decoder.Waiting());
  decoder.Expire(1000 + KeyDecoder::kEscapeTimeoutMs - 1);
  EXPECT_FALSE(decoder.HasKey());
  decoder.Expire(1000 + KeyDecoder::kEscapeTimeoutMs);
  ASSERT_TRUE(decoder.HasKey());
  EXPECT_EQ(decoder.TakeKey(), kKeyEscape);
  EXPECT_FALSE(decoder.Waiting());
}

TEST(KeyDecoder, SequenceSplitOverReadsJoinsWithinTheTimer) {
  KeyDecoder decoder;
  decoder.Feed(0x1b, 1000);
  decoder.Feed('[', 1020);
  decoder.Expire(1045);  // 25 ms after the last byte: still waiting
  decoder.Feed('A', 1050);
  ASSERT_TRUE(decoder.HasKey());
  EXPECT_EQ(decoder.TakeKey(), kKeyUp);
  EXPECT_FALSE(decoder.HasKey());

  // Bytes that come after the timer are keys of their own.
  decoder.Feed(0x1b, 2000);
  decoder.Feed('x', 2100);
  EXPECT_EQ(decoder.TakeKey(), kKeyEscape);
  EXPECT_EQ(decoder.TakeKey(), 'x');

  // A sequence cut off by the timer is dropped, not turned into characters.
  decoder.Feed(0x1b, 3000);
  decoder.Feed('[', 3000);
  decoder.Feed('1', 3000);
  decoder.Expire(3100);
  EXPECT_FALSE(decoder.HasKey());
  decoder.Feed(0x1b, 4000);
  decoder.Feed(0x1b, 4000);
  decoder.Feed('[', 4000);
  decoder.Feed('B', 4000);
  EXPECT_EQ(decoder.TakeKey(), kKeyEscape);
  EXPECT_EQ(decoder.TakeKey(), kKeyDown);
}

TEST(KeyDecoder, ArbitraryBytesGiveOnlyKnownCodes) {
  std::mt19937 random(7);
  KeyDecoder decoder;
  std::int64_t now = 0;
  for (int i = 0; i < 200000; ++i) {
    now += random() % 3 == 0 ? 30 : 0;
    decoder.Feed(static_cast<unsigned char>(random()), now);
    while (decoder.HasKey()) {
      int key = decoder.TakeKey();
      ASSERT_GT(key, 0);
      ASSERT_TRUE(key < 0x80 || (key >= kKeyDown && key <= kKeyCtrlEnd) || key == kKeyInsertToggle)
          << key;
    }
  }
}

// Key reading through the screen, on the in-memory console.
using KeyReading = ScreenFixture;

TEST_F(KeyReading, WaitingAndNotWaiting) {
  EXPECT_EQ(ReadKey(0), 0);
  terminal.TypeKeys({kKeyF10});
  EXPECT_EQ(ReadKey(0), kKeyF10);
  EXPECT_EQ(ReadKey(0), 0);
  terminal.Gap(500);
  terminal.Type("z");
  EXPECT_EQ(GetKey(), 'z');  // waits as long as it takes
}

TEST_F(KeyReading, BoundedWaitForALiveScreen) {
  std::int64_t start = terminal.NowMilliseconds();
  EXPECT_EQ(ReadKeyWithin(50), 0);
  EXPECT_GE(terminal.NowMilliseconds() - start, 50);
  terminal.Gap(20);
  terminal.TypeKeys({kKeyDown});
  start = terminal.NowMilliseconds();
  EXPECT_EQ(ReadKeyWithin(100), kKeyDown);  // answered when it comes, not at the end
  EXPECT_LT(terminal.NowMilliseconds() - start, 100);
  terminal.TypeKeys({kKeyEscape});
  EXPECT_EQ(ReadKeyWithin(100), kKeyEscape);  // a lone Escape within the wait
}

TEST_F(KeyReading, EscapeAloneAndSplitSequences) {
  terminal.Type("\x1b");
  terminal.Gap(10);
  terminal.Type("[D");  // the rest of Left, 10 ms later
  terminal.Type("\x1b");
  terminal.Gap(200);
  terminal.Type("[D");  // after the timer: Escape, then plain characters
  EXPECT_EQ(GetKey(), kKeyLeft);
  EXPECT_EQ(GetKey(), kKeyEscape);
  EXPECT_EQ(GetKey(), '[');
  EXPECT_EQ(GetKey(), 'D');
}

TEST_F(KeyReading, InsertTogglesAndIsNeverDelivered) {
  EXPECT_EQ(InsertMode(), 1);
  terminal.TypeKeys({kKeyInsertToggle, 'a', kKeyInsertToggle, kKeyInsertToggle});
  EXPECT_EQ(GetKey(), 'a');
  EXPECT_EQ(InsertMode(), 0);
  EXPECT_EQ(ReadKey(0), 0);
  EXPECT_EQ(InsertMode(), 0);  // toggled twice more
  terminal.TypeKeys({kKeyInsertToggle});
  EXPECT_EQ(ReadKey(0), 0);
  EXPECT_EQ(InsertMode(), 1);
}

TEST_F(KeyReading, StuffedKeysComeBeforeTypedOnes) {
  terminal.Type("t");
  StuffKeys("ab");
  EXPECT_EQ(GetKey(), 'a');
  EXPECT_EQ(GetKey(), 'b');
  EXPECT_EQ(GetKey(), 't');
}

TEST_F(KeyReading, TypeAheadRingDropsKeysBeyondItsSize) {
  std::string many;
  for (int i = 0; i < 150; ++i) many += static_cast<char>('A' + i % 26);
  StuffKeys(many.c_str());
  StuffKeys("more");  // the ring is full: dropped as well
  for (int i = 0; i < 100; ++i) ASSERT_EQ(ReadKey(0), 'A' + i % 26) << i;
  EXPECT_EQ(ReadKey(0), 0);
  StuffKeys("z");  // room again
  EXPECT_EQ(ReadKey(0), 'z');
}

struct HotKeyLog {
  std::vector<std::string> calls;
};
HotKeyLog g_log;

HotKeyHandler Logger(const std::string& name) {
  return [name](int key, std::int32_t position) {
    g_log.calls.push_back(name + ":" + std::to_string(key) + "@" + std::to_string(position));
    return 0;
  };
}

TEST_F(KeyReading, HotKeysRunAndConsumeTheirKey) {
  g_log.calls.clear();
  AddHotKey(kKeyF2, Logger("older"));
  AddHotKey(kKeyF2, Logger("newer"));
  StuffKeys("\x92");  // F2, stuffed
  terminal.TypeKeys({kKeyF2, 'k'});
  EXPECT_EQ(GetKey(), 'k');
  // The older node serves the key, typed or stuffed, with position -1.
  EXPECT_EQ(g_log.calls, (std::vector<std::string>{"older:146@-1", "older:146@-1"}));

  g_log.calls.clear();
  RemoveHotKey(kKeyF2);  // takes the newer node
  RemoveHotKey(kKeyF9);  // never added: nothing happens
  terminal.TypeKeys({kKeyF2});
  EXPECT_EQ(ReadKey(0), 0);
  EXPECT_EQ(g_log.calls, (std::vector<std::string>{"older:146@-1"}));
  RemoveHotKey(kKeyF2);
  terminal.TypeKeys({kKeyF2});
  EXPECT_EQ(GetKey(), kKeyF2);  // no node left: the key is delivered

  EXPECT_EQ(DispatchHotKey(kKeyF2, 7), 0);
  AddHotKey(kKeyF2, Logger("editor"));
  g_log.calls.clear();
  EXPECT_EQ(DispatchHotKey(kKeyF2, 7), 1);
  EXPECT_EQ(g_log.calls, (std::vector<std::string>{"editor:146@7"}));
}

TEST_F(KeyReading, BusyHotKeyIsNotStartedAgainInsideItsHandler) {
  g_log.calls.clear();
  std::vector<int> inner_keys;
  AddHotKey(kKeyF3, [&](int, std::int32_t) {
    inner_keys.push_back(GetKey());  // F3 again: busy, so returned here
    return 0;
  });
  terminal.TypeKeys({kKeyF3, kKeyF3, 'e'});
  EXPECT_EQ(GetKey(), 'e');
  EXPECT_EQ(inner_keys, std::vector<int>{kKeyF3});

  // With a second node, the nested read goes to it.
  AddHotKey(kKeyF3, Logger("second"));
  inner_keys.clear();
  terminal.TypeKeys({kKeyF3, kKeyF3, 'i', 'e'});
  EXPECT_EQ(GetKey(), 'e');
  EXPECT_EQ(inner_keys, std::vector<int>{'i'});
  EXPECT_EQ(g_log.calls, (std::vector<std::string>{"second:147@-1"}));
}

TEST_F(KeyReading, HandlerRemovingItsOwnNodeIsSafe) {
  int runs = 0;
  AddHotKey(kKeyF4, [&](int key, std::int32_t) {
    ++runs;
    RemoveHotKey(key);
    return 0;
  });
  terminal.TypeKeys({kKeyF4, kKeyF4});
  EXPECT_EQ(GetKey(), kKeyF4);  // the second F4 found no node
  EXPECT_EQ(runs, 1);
}

TEST_F(KeyReading, CtrlCAndCtrlZ) {
  int interrupts = 0;
  SetInterruptHandler([&] { ++interrupts; });
  terminal.Type(
      "\x03\x1a"
      "c");
  EXPECT_EQ(GetKey(), 'c');
  EXPECT_EQ(interrupts, 1);
  EXPECT_EQ(terminal.Suspends(), 1);

  SetJobControlKeys(false);  // a screen that passes every byte on
  terminal.Type("\x03\x1a");
  EXPECT_EQ(GetKey(), 3);
  EXPECT_EQ(GetKey(), 26);
}

TEST_F(KeyReading, ResumedTerminalIsRepaintedBeforeTheNextKey) {
  PutText("still here", 12, 30, 0, ' ', kBright);
  terminal.FillCells(0, 0, ' ', 2000, 0x07);  // the shell's screen while stopped
  terminal.NoteResume();
  terminal.Type("k");
  EXPECT_EQ(GetKey(), 'k');
  ExpectTerminalMatchesImage();
}

TEST_F(KeyReading, VisibleCursorIsPlacedBeforeWaiting) {
  SetCursor(4, 9);
  ShowCursor();
  PutText("abc", 3, 5, 0, ' ', kNormal);  // text runs move the toolkit cursor
  terminal.Type("k");
  GetKey();
  EXPECT_EQ(terminal.CursorRow(), 2);
  EXPECT_EQ(terminal.CursorColumn(), 7);
}

}  // namespace
}  // namespace console
