#include "link/frame_pool.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "link/link_handle.h"
#include "link/reply_wait.h"

namespace linklib {
namespace {

TEST(FramePool, TakeAndAppendKeepOrderAcrossLists) {
  FrameList list;
  EXPECT_EQ(TakeFrame(list), nullptr);
  FrameBuffer a, b;
  AppendFrame(list, &a);
  AppendFrame(list, &b);
  EXPECT_EQ(TakeFrame(list), &a);
  EXPECT_EQ(TakeFrame(list), &b);
  EXPECT_EQ(TakeFrame(list), nullptr);
  EXPECT_TRUE(IsListEmpty(list));
}

// Two threads pass buffers back and forth through the pool and a queue; no
// buffer is lost or duplicated.
TEST(FramePool, ConcurrentTakesAndAppendsLoseNothing) {
  int before = PoolSize();
  ASSERT_EQ(AddFramesToPool(16), 16);
  FrameList queue;
  auto mover = [&](FrameList& from, FrameList& to) {
    for (int i = 0; i < 20000; ++i)
      if (FrameBuffer* f = TakeFrame(from)) AppendFrame(to, f);
  };
  std::thread t1(mover, std::ref(FramePool()), std::ref(queue));
  std::thread t2(mover, std::ref(queue), std::ref(FramePool()));
  t1.join();
  t2.join();
  ReturnListToPool(queue);
  EXPECT_EQ(PoolSize(), before + 16);
}

uint32_t AbandonAtOnce(uint32_t) { return 0; }

TEST(ReplyWait, CallbackThatAbandonsEndsAfterOnePoll) {
  LinkHandle* h = AllocateHandle();
  h->mark = kHandleMark;
  h->wait_callback = AbandonAtOnce;
  SetMessage(h, "Read reply timeout");
  EXPECT_EQ(WaitForReply(h, 500), nullptr);
  EXPECT_STREQ(h->message, "Application idle abort");
  FreeHandle(h);
}

TEST(ReplyWait, WakesWhenTheReplyIsQueuedAndTimesOutOtherwise) {
  LinkHandle* h = AllocateHandle();
  h->mark = kHandleMark;
  h->wait_callback = DefaultWaitCallback;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForReply(h, 5), nullptr);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));

  FrameBuffer reply;
  std::thread sender([&] { AppendFrame(h->rx_queue, &reply); });
  EXPECT_EQ(WaitForReply(h, 100000), &reply);  // would take 1000 s if it did not wake
  sender.join();
  FreeHandle(h);
}

TEST(LinkHandleRegistry, ClosedAndForeignHandlesAreRefused) {
  LinkHandle* h = AllocateHandle();
  EXPECT_FALSE(IsValidHandle(h));  // mark not yet set
  h->mark = kHandleMark;
  EXPECT_TRUE(IsValidHandle(h));
  FreeHandle(h);
  EXPECT_FALSE(IsValidHandle(h));
  LinkHandle foreign;
  foreign.mark = kHandleMark;
  EXPECT_FALSE(IsValidHandle(&foreign));
}

TEST(LinkMessageText, LongTextsAreCutAt83) {
  LinkHandle* h = AllocateHandle();
  std::string long_text(200, 'x');
  SetMessageF(h, "%s %s", long_text.c_str(), long_text.c_str());
  EXPECT_EQ(std::string(h->message).size(), 83u);
  FreeHandle(h);
}

}  // namespace
}  // namespace linklib
