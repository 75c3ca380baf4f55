// Validation and dispatch of the register operations, the option setters and
// the handle checks, on handle records of every kind. Requests that pass
// validation are only sent to kinds that never reach a transport (3, 4) or
// to corrupt kinds, so no protocol runs here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/link.h"
#include "link/link_handle.h"
#include "link/protocols.h"

namespace linklib {
namespace {

constexpr const char* kUntouched = "untouched";

class RegisterOperations : public ::testing::Test {
 protected:
  LinkHandle* Handle(uint32_t kind) {
    LinkHandle* h = AllocateHandle();
    h->mark = kHandleMark;
    h->kind = kind;
    h->wait_callback = DefaultWaitCallback;
    SetMessage(h, kUntouched);
    handles_.push_back(h);
    return h;
  }
  void TearDown() override {
    for (LinkHandle* h : handles_)
      if (IsValidHandle(h)) FreeHandle(h);
  }
  uint16_t words_[130] = {};
  std::vector<LinkHandle*> handles_;
};

enum class Op { Read, Write };

struct RunCase {
  uint32_t kind;
  Op op;
  uint32_t first;
  uint32_t count;
  const char* message;  // kUntouched: passed validation, dispatched silently
};

TEST_F(RegisterOperations, ReadAndWriteValidation) {
  const RunCase cases[] = {
      // Sy/Max and Gateway range: registers 1..16384, checked before the count.
      {3, Op::Read, 0, 1, "Illegal read register"},
      {3, Op::Write, 0, 1, "Illegal write register"},
      {3, Op::Read, 16384, 1, kUntouched},
      {4, Op::Read, 16380, 10, "Illegal read register"},
      {4, Op::Write, 16380, 10, "Illegal write register"},
      {3, Op::Read, 16257, 128, kUntouched},
      {3, Op::Read, 0, 0, "Illegal read register"},
      {3, Op::Read, 0xFFFFFFFF, 2, "Illegal read register"},  // no wrap-around
      // The count: 1..128.
      {3, Op::Read, 1, 0, "Illegal read count"},
      {3, Op::Read, 1, 129, "Illegal read count"},
      {4, Op::Write, 1, 0, "Illegal write count"},
      {4, Op::Write, 1, 129, "Illegal write count"},
      {3, Op::Read, 1, 128, kUntouched},
      {3, Op::Write, 1, 128, kUntouched},
      // No Sy/Max range above kind 4; unknown kinds are corrupt.
      {7, Op::Read, 20000, 1, "Handle corruption 3"},
      {0, Op::Read, 1, 1, "Handle corruption 3"},
      {9, Op::Write, 1, 1, "Handle corruption 3"},
      {7, Op::Read, 20000, 0, "Illegal read count"},
      // Modbus kinds: the count first; register 0 or past 65536 would wrap.
      {8, Op::Read, 40000, 0, "Illegal read count"},
      {8, Op::Write, 1, 129, "Illegal write count"},
      {8, Op::Read, 0, 1, "Illegal read register"},
      {5, Op::Write, 0, 1, "Illegal write register"},
      {6, Op::Read, 65537, 1, "Illegal read register"},
  };
  for (const RunCase& c : cases) {
    LinkHandle* h = Handle(c.kind);
    int result = c.op == Op::Read ? ReadRegisters(h, c.first, c.count, words_)
                                  : WriteRegisters(h, c.first, c.count, words_);
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(LinkMessage(h), c.message)
        << "kind " << c.kind << " first " << c.first << " count " << c.count;
  }
}

TEST_F(RegisterOperations, RandomReadValidation) {
  const uint32_t registers[2] = {5, 20000};
  struct Case {
    uint32_t kind;
    uint32_t count;
    const char* message;
  } cases[] = {
      {3, 2, kUntouched},  // no register range check
      {4, 0, "Illegal read count"},
      {3, 129, "Illegal read count"},
      {5, 2, "Random read not supported in Modbus"},
      {6, 1, "Random read not supported in Modbus"},
      {7, 1, "Random read not supported in Modbus"},
      {8, 128, "Random read not supported in Modbus"},
      {8, 0, "Illegal read count"},
      {0, 1, "Handle corruption 3"},
      {9, 1, "Handle corruption 3"},
  };
  for (const Case& c : cases) {
    LinkHandle* h = Handle(c.kind);
    EXPECT_EQ(RandomReadRegisters(h, registers, c.count, words_), 0);
    EXPECT_STREQ(LinkMessage(h), c.message) << "kind " << c.kind << " count " << c.count;
  }
}

TEST_F(RegisterOperations, FileRecordAnd3XValidation) {
  using Operation = int (*)(LinkHandle*, uint32_t first, uint32_t count, uint16_t * words);
  const Operation operations[] = {
      [](LinkHandle* h, uint32_t first, uint32_t count, uint16_t* w) {
        return ReadFileRecords(h, 1, first, count, w);
      },
      [](LinkHandle* h, uint32_t first, uint32_t count, uint16_t* w) {
        return Read3XRegisters(h, 1, first, count, w);
      },
      [](LinkHandle* h, uint32_t first, uint32_t count, uint16_t* w) {
        return WriteFileRecords(h, 1, first, count, w);
      },
  };
  struct Case {
    uint32_t kind;
    uint32_t first;
    uint32_t count;
    const char* message;
  } cases[] = {
      {1, 1, 1, kUntouched},  // not Modbus: fails, message left as it was
      {2, 1, 1, kUntouched},
      {4, 1, 128, kUntouched},
      {3, 1, 0, "Illegal read count"},  // the write says "read" too
      {3, 1, 129, "Illegal read count"},
      {0, 1, 1, "Handle corruption 3"},
      {7, 1, 1, "Handle corruption 3"},
      {12, 1, 1, "Handle corruption 3"},
      {8, 65536, 1, "Illegal read register"},  // past the 16-bit record number
  };
  for (Operation operation : operations) {
    for (const Case& c : cases) {
      LinkHandle* h = Handle(c.kind);
      EXPECT_EQ(operation(h, c.first, c.count, words_), 0);
      EXPECT_STREQ(LinkMessage(h), c.message) << "kind " << c.kind << " count " << c.count;
    }
  }
}

TEST_F(RegisterOperations, HandleThatIsNotValidIsRefusedUntouched) {
  LinkHandle* h = Handle(3);
  h->mark = 0x12345678;
  EXPECT_STREQ(LinkMessage(h), "Handle not valid");
  EXPECT_EQ(ReadRegisters(h, 0, 0, words_), 0);
  EXPECT_EQ(WriteRegisters(h, 0, 0, words_), 0);
  EXPECT_EQ(RandomReadRegisters(h, nullptr, 0, words_), 0);
  EXPECT_EQ(ReadFileRecords(h, 0, 0, 0, words_), 0);
  EXPECT_EQ(Read3XRegisters(h, 0, 0, 0, words_), 0);
  EXPECT_EQ(WriteFileRecords(h, 0, 0, 0, words_), 0);
  EXPECT_EQ(SetLinkOptions(h, 1, 1), 0);
  EXPECT_EQ(SetWaitCallback(h, nullptr, 0), 0);
  EXPECT_EQ(CloseLink(h), 0);
  EXPECT_STREQ(h->message, kUntouched);
  EXPECT_EQ(h->link_flags, 0);
  h->mark = kHandleMark;  // so that TearDown frees it

  EXPECT_STREQ(LinkMessage(nullptr), "Handle not valid");
  EXPECT_EQ(ReadRegisters(nullptr, 1, 1, words_), 0);
  EXPECT_EQ(SetLinkOptions(nullptr, 1, 1), 0);
  EXPECT_EQ(CloseLink(nullptr), 0);
}

// A closed handle is recognised without reading the freed record (the
// address sanitizer build would catch a read).
TEST_F(RegisterOperations, HandleUsedAfterCloseIsRefused) {
  LinkHandle* h = Handle(3);
  EXPECT_EQ(CloseLink(h), 1);
  EXPECT_STREQ(LinkMessage(h), "Handle not valid");
  EXPECT_EQ(ReadRegisters(h, 1, 1, words_), 0);
  EXPECT_EQ(WriteRegisters(h, 1, 1, words_), 0);
  EXPECT_EQ(SetWaitCallback(h, nullptr, 0), 0);
  EXPECT_EQ(CloseLink(h), 0);
}

uint32_t Abandon(uint32_t) { return 0; }

TEST_F(RegisterOperations, OptionSetters) {
  LinkHandle* h = Handle(1);
  EXPECT_EQ(SetLinkOptions(h, 5, 7), 1);
  EXPECT_EQ(h->link_flags & kFlagCrc, kFlagCrc);
  EXPECT_EQ(h->priority, 1);
  h->link_flags |= kFlagWriteOutstanding;
  EXPECT_EQ(SetLinkOptions(h, 0, 0), 1);
  EXPECT_EQ(h->link_flags, kFlagWriteOutstanding);  // other bits kept
  EXPECT_EQ(h->priority, 0);

  EXPECT_EQ(SetWaitCallback(h, Abandon, 42), 1);
  EXPECT_EQ(h->wait_callback, &Abandon);
  EXPECT_EQ(h->wait_user, 42u);
  // Null restores the default (never abandons) and keeps the user value.
  EXPECT_EQ(SetWaitCallback(h, nullptr, 7), 1);
  ASSERT_NE(h->wait_callback, nullptr);
  EXPECT_NE(h->wait_callback(0), 0u);
  EXPECT_EQ(h->wait_user, 42u);
}

TEST(AdapterCards, OpensAlwaysFail) {
  Route route;
  EXPECT_EQ(OpenSA85(0, &route), nullptr);
  EXPECT_EQ(OpenSA85(1, &route), nullptr);
  EXPECT_EQ(OpenSylink(0x300, 1, &route), nullptr);
  EXPECT_EQ(OpenSFI610(&route), nullptr);
  EXPECT_EQ(SetSylinkSpeed(nullptr, 9600, 8), 0);
}

TEST(ProgramStyle, IsKeptForTheProcess) {
  SetProgramStyle(ProgramStyle::RegisterEditor);
  EXPECT_EQ(GetProgramStyle(), ProgramStyle::RegisterEditor);
  SetProgramStyle(ProgramStyle::Downloader);
  EXPECT_EQ(GetProgramStyle(), ProgramStyle::Downloader);
}

// With the pool empty a request cannot start: the link's queued frames go
// back to the pool so that the next request can.
TEST_F(RegisterOperations, BufferShortageReturnsTheQueuesToThePool) {
  FrameList parked;  // everything the pool held, kept aside
  while (FrameBuffer* f = TakePoolFrame()) AppendFrame(parked, f);
  ASSERT_EQ(PoolSize(), 0);
  FrameBuffer frames[3];
  LinkHandle* h = Handle(1);
  AppendFrame(h->rx_queue, &frames[0]);
  AppendFrame(h->rx_queue, &frames[1]);
  AppendFrame(h->tx_queue, &frames[2]);

  EXPECT_EQ(TakeRequestFrame(h), nullptr);
  EXPECT_STREQ(LinkMessage(h), "Buffer shortage, try again");
  EXPECT_TRUE(IsListEmpty(h->rx_queue));
  EXPECT_TRUE(IsListEmpty(h->tx_queue));
  EXPECT_EQ(PoolSize(), 3);

  // Now a buffer is there: taken with its length cleared, sent to tx_queue.
  SetMessage(h, kUntouched);
  FrameBuffer* frame = TakeRequestFrame(h);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->length, 0);
  EXPECT_STREQ(LinkMessage(h), kUntouched);
  SendFrame(h, frame);
  EXPECT_EQ(TakeFrame(h->tx_queue), frame);
  EXPECT_TRUE(IsListEmpty(h->tx_queue));

  // The stack frames leave the pool; the parked buffers come back.
  while (TakePoolFrame()) {
  }
  while (FrameBuffer* f = TakeFrame(parked)) ReturnToPool(f);
}

}  // namespace
}  // namespace linklib
