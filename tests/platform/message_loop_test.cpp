#include "platform/message_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <vector>

#include "platform/clock.h"
#include "platform/error.h"
#include "platform/thread.h"

namespace {

using platform::WindowHandle;

constexpr int kTimedOut = -999;
constexpr uint32_t kMsgPing = platform::kMsgUser + 1;
constexpr uint32_t kMsgDone = platform::kMsgUser + 2;
constexpr uint32_t kMsgOpenModal = platform::kMsgUser + 3;
constexpr uint32_t kMsgModalWork = platform::kMsgUser + 4;

// A message-only window whose messages go to `onMessage` (true: handled); the rest go to the
// default procedure.
class TestWindow {
 public:
  using Handler = std::function<bool(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)>;

  explicit TestWindow(Handler handler) : onMessage_(std::move(handler)) {
    handle_ = platform::CreateMessageWindow(L"DevuMessageLoopTest", Proc);
    if (handle_ != nullptr) platform::SetWindowUserData(handle_, this);
  }
  ~TestWindow() {
    if (handle_ != nullptr && platform::IsWindow(handle_)) platform::DestroyWindow(handle_);
  }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  WindowHandle handle() const { return handle_; }

 private:
  static intptr_t Proc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    auto* self = static_cast<TestWindow*>(platform::GetWindowUserData(window));
    if (self != nullptr && self->onMessage_ && self->onMessage_(window, message, wParam, lParam)) return 0;
    return platform::DefaultWindowProc(window, message, wParam, lParam);
  }

  Handler onMessage_;
  WindowHandle handle_ = nullptr;
};

void PostQuitOnTimeout(WindowHandle, uint32_t, uintptr_t, uint32_t) { platform::PostQuit(kTimedOut); }

// Runs the loop until a quit; a lost message ends it after `limitMs` with kTimedOut instead of
// hanging the test.
int RunLoopWithLimit(uint32_t limitMs = 10000) {
  const uintptr_t limit = platform::SetThreadTimer(limitMs, PostQuitOnTimeout);
  EXPECT_NE(limit, 0u);
  const int code = platform::RunMessageLoop();
  platform::KillThreadTimer(limit);
  return code;
}

struct Poster {
  WindowHandle window = nullptr;
  uintptr_t source = 0;
  uintptr_t count = 0;
  std::atomic<uintptr_t> failures{0};
};

void PostSequence(void* raw) {
  auto* poster = static_cast<Poster*>(raw);
  for (uintptr_t i = 0; i < poster->count; ++i) {
    if (!platform::PostMessageToWindow(poster->window, kMsgPing, poster->source, static_cast<intptr_t>(i))) ++poster->failures;
  }
}

TEST(MessageLoop, PostedMessagesArriveInPostingOrderFromEveryThread) {
  constexpr uintptr_t kPerSource = 500;
  constexpr uintptr_t kThreads = 4;
  constexpr uintptr_t kSources = kThreads + 1;  // source 0 is the window's own thread
  std::vector<std::vector<intptr_t>> received(kSources);
  uintptr_t total = 0;
  bool wrongWindow = false;
  WindowHandle expected = nullptr;
  TestWindow window([&](WindowHandle w, uint32_t message, uintptr_t source, intptr_t sequence) {
    if (message != kMsgPing) return false;
    wrongWindow |= w != expected;
    if (source < kSources) received[source].push_back(sequence);
    if (++total == kSources * kPerSource) platform::PostQuit(0);
    return true;
  });
  ASSERT_NE(window.handle(), nullptr);
  expected = window.handle();

  std::vector<Poster> posters(kSources);
  std::vector<platform::ThreadHandle> threads;
  for (uintptr_t source = 0; source < kSources; ++source) {
    posters[source].window = window.handle();
    posters[source].source = source;
    posters[source].count = kPerSource;
  }
  // The other threads post while this thread posts its own and then runs the loop.
  for (uintptr_t source = 1; source < kSources; ++source) {
    threads.push_back(platform::StartThread(PostSequence, &posters[source], nullptr));
    ASSERT_NE(threads.back(), nullptr);
  }
  PostSequence(&posters[0]);
  EXPECT_EQ(RunLoopWithLimit(), 0);
  for (platform::ThreadHandle thread : threads) {
    EXPECT_TRUE(platform::WaitThread(thread, platform::kWaitInfinite));
    platform::CloseThreadHandle(thread);
  }

  EXPECT_FALSE(wrongWindow);
  for (uintptr_t source = 0; source < kSources; ++source) {
    EXPECT_EQ(posters[source].failures.load(), 0u);
    ASSERT_EQ(received[source].size(), kPerSource) << "source " << source;
    for (uintptr_t i = 0; i < kPerSource; ++i) ASSERT_EQ(received[source][i], static_cast<intptr_t>(i)) << "source " << source;
  }
}

struct DelayedPost {
  WindowHandle window = nullptr;
  std::atomic<uint32_t> postedAt{0};
  std::atomic<bool> ok{false};
};

void PostAfterDelay(void* raw) {
  auto* post = static_cast<DelayedPost*>(raw);
  platform::SleepMs(50);
  post->postedAt = platform::TickCount();
  post->ok = platform::PostMessageToWindow(post->window, kMsgPing, 7, 0);
}

TEST(MessageLoop, PostFromAnotherThreadWakesAWaitingLoop) {
  uint32_t receivedAt = 0;
  uintptr_t payload = 0;
  TestWindow window([&](WindowHandle, uint32_t message, uintptr_t wParam, intptr_t) {
    if (message != kMsgPing) return false;
    receivedAt = platform::TickCount();
    payload = wParam;
    platform::PostQuit(0);
    return true;
  });
  ASSERT_NE(window.handle(), nullptr);
  DelayedPost post;
  post.window = window.handle();
  const uint32_t start = platform::TickCount();
  platform::ThreadHandle thread = platform::StartThread(PostAfterDelay, &post, nullptr);
  ASSERT_NE(thread, nullptr);
  // Nothing is due for 10 s: only the post can end this loop early.
  EXPECT_EQ(RunLoopWithLimit(), 0);
  EXPECT_TRUE(platform::WaitThread(thread, platform::kWaitInfinite));
  platform::CloseThreadHandle(thread);
  EXPECT_TRUE(post.ok.load());
  EXPECT_EQ(payload, 7u);
  // It waited for the post, and was woken by it rather than by the 10 s limit.
  EXPECT_GE(receivedAt - start, 40u);
  EXPECT_LT(receivedAt - start, 5000u);
}

TEST(MessageLoop, WindowTimerRepeatsUntilKilled) {
  constexpr uintptr_t kTick = 1;
  constexpr uintptr_t kEnd = 2;
  int ticks = 0;
  bool killed = false;
  TestWindow window([&](WindowHandle w, uint32_t message, uintptr_t id, intptr_t) {
    if (message != platform::kMsgTimer) return false;
    if (id == kTick && ++ticks == 3) {
      killed = platform::KillWindowTimer(w, kTick);
      // Ticks of a killed timer would arrive during this wait.
      platform::SetWindowTimer(w, kEnd, 150);
    } else if (id == kEnd) {
      platform::KillWindowTimer(w, kEnd);
      platform::PostQuit(0);
    }
    return true;
  });
  ASSERT_NE(window.handle(), nullptr);
  ASSERT_EQ(platform::SetWindowTimer(window.handle(), kTick, 20), kTick);
  EXPECT_EQ(RunLoopWithLimit(), 0);
  EXPECT_TRUE(killed);
  EXPECT_EQ(ticks, 3);
  EXPECT_FALSE(platform::KillWindowTimer(window.handle(), kTick));
}

TEST(MessageLoop, BusyLoopGetsOneTimerTickNotABurst) {
  std::vector<uint32_t> tickTimes;
  TestWindow window([&](WindowHandle w, uint32_t message, uintptr_t, intptr_t) {
    if (message != platform::kMsgTimer) return false;
    tickTimes.push_back(platform::TickCount());
    if (tickTimes.size() == 1) platform::SleepMs(200);  // ten periods pass while busy
    if (tickTimes.size() == 3) {
      platform::KillWindowTimer(w, 1);
      platform::PostQuit(0);
    }
    return true;
  });
  ASSERT_NE(window.handle(), nullptr);
  ASSERT_EQ(platform::SetWindowTimer(window.handle(), 1, 20), 1u);
  EXPECT_EQ(RunLoopWithLimit(), 0);
  ASSERT_EQ(tickTimes.size(), 3u);
  // The tick after the busy one is pending at once; the next waits for a period again.
  EXPECT_GE(tickTimes[2] - tickTimes[1], 10u);
}

struct ThreadTimerLog {
  uintptr_t id = 0;
  int ticks = 0;
  bool argumentsOk = true;
  bool killed = false;
};
ThreadTimerLog gThreadTimer;

void QuitFromThreadTimer(WindowHandle, uint32_t, uintptr_t timerId, uint32_t) {
  platform::KillThreadTimer(timerId);
  platform::PostQuit(0);
}

void CountThreadTimerTicks(WindowHandle window, uint32_t message, uintptr_t timerId, uint32_t) {
  gThreadTimer.argumentsOk &= window == nullptr && message == platform::kMsgTimer && timerId == gThreadTimer.id;
  if (++gThreadTimer.ticks == 3) {
    gThreadTimer.killed = platform::KillThreadTimer(timerId);
    // Ticks of a killed timer would arrive during this wait.
    platform::SetThreadTimer(150, QuitFromThreadTimer);
  }
}

TEST(MessageLoop, ThreadTimerCallsItsProcUntilKilled) {
  gThreadTimer = ThreadTimerLog{};
  gThreadTimer.id = platform::SetThreadTimer(20, CountThreadTimerTicks);
  ASSERT_NE(gThreadTimer.id, 0u);
  EXPECT_EQ(RunLoopWithLimit(), 0);
  EXPECT_EQ(gThreadTimer.ticks, 3);
  EXPECT_TRUE(gThreadTimer.argumentsOk);
  EXPECT_TRUE(gThreadTimer.killed);
  EXPECT_FALSE(platform::KillThreadTimer(gThreadTimer.id));
}

TEST(MessageLoop, SettingTheSameTimerIdAgainReplacesItsPeriod) {
  constexpr uintptr_t kReplaced = 7;
  constexpr uintptr_t kEnd = 8;
  int replacedTicks = 0;
  TestWindow window([&](WindowHandle w, uint32_t message, uintptr_t id, intptr_t) {
    if (message != platform::kMsgTimer) return false;
    platform::KillWindowTimer(w, id);
    if (id == kReplaced) ++replacedTicks;
    platform::PostQuit(id == kReplaced ? 1 : 2);
    return true;
  });
  WindowHandle w = window.handle();
  ASSERT_NE(w, nullptr);

  // Shortened: the long period would outlast the end timer.
  EXPECT_EQ(platform::SetWindowTimer(w, kReplaced, 60000), kReplaced);
  EXPECT_EQ(platform::SetWindowTimer(w, kReplaced, 20), kReplaced);
  EXPECT_EQ(platform::SetWindowTimer(w, kEnd, 2000), kEnd);
  EXPECT_EQ(RunLoopWithLimit(), 1);
  platform::KillWindowTimer(w, kEnd);

  // Lengthened: the short period must not fire any more.
  replacedTicks = 0;
  EXPECT_EQ(platform::SetWindowTimer(w, kReplaced, 20), kReplaced);
  EXPECT_EQ(platform::SetWindowTimer(w, kReplaced, 60000), kReplaced);
  EXPECT_EQ(platform::SetWindowTimer(w, kEnd, 200), kEnd);
  EXPECT_EQ(RunLoopWithLimit(), 2);
  EXPECT_EQ(replacedTicks, 0);
  platform::KillWindowTimer(w, kReplaced);
}

TEST(MessageLoop, QuitEndsTheLoopWithItsCodeAfterEarlierMessages) {
  for (int exitCode : {42, 0, -3}) {
    std::vector<uintptr_t> received;
    TestWindow window([&](WindowHandle, uint32_t message, uintptr_t wParam, intptr_t) {
      if (message != kMsgPing) return false;
      received.push_back(wParam);
      return true;
    });
    ASSERT_NE(window.handle(), nullptr);
    for (uintptr_t i = 0; i < 3; ++i) ASSERT_TRUE(platform::PostMessageToWindow(window.handle(), kMsgPing, i, 0));
    platform::PostQuit(exitCode);
    EXPECT_EQ(RunLoopWithLimit(), exitCode);
    EXPECT_EQ(received, (std::vector<uintptr_t>{0, 1, 2})) << "exit code " << exitCode;
  }
}

TEST(MessageLoop, GetNextMessageReportsTheQuitAndItsCode) {
  const uintptr_t limit = platform::SetThreadTimer(10000, PostQuitOnTimeout);
  platform::PostQuit(5);
  platform::Message message;
  while (platform::GetNextMessage(&message)) platform::DispatchToWindow(message);
  platform::KillThreadTimer(limit);
  EXPECT_EQ(message.message, platform::kMsgQuit);
  EXPECT_EQ(static_cast<int>(static_cast<intptr_t>(message.wParam)), 5);
}

// Stores wParam where the window's user data points and answers 100 + wParam.
intptr_t StoreInUserData(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message != kMsgPing) return platform::DefaultWindowProc(window, message, wParam, lParam);
  auto* target = static_cast<uintptr_t*>(platform::GetWindowUserData(window));
  if (target == nullptr) return 0;
  *target = wParam;
  return static_cast<intptr_t>(100 + wParam);
}

TEST(MessageLoop, UserDataAndSendReachTheProcedure) {
  WindowHandle w = platform::CreateMessageWindow(L"DevuUserDataTest", StoreInUserData);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(platform::GetWindowUserData(w), nullptr);
  uintptr_t value = 0;
  platform::SetWindowUserData(w, &value);
  EXPECT_EQ(platform::GetWindowUserData(w), static_cast<void*>(&value));

  // A sent message runs at once, ahead of what is posted, and returns the procedure's answer.
  ASSERT_TRUE(platform::PostMessageToWindow(w, kMsgPing, 1, 0));
  EXPECT_EQ(platform::SendMessageToWindow(w, kMsgPing, 2, 0), 102);
  EXPECT_EQ(value, 2u);
  platform::PostQuit(0);
  EXPECT_EQ(RunLoopWithLimit(), 0);
  EXPECT_EQ(value, 1u);
  EXPECT_TRUE(platform::DestroyWindow(w));
}

TEST(MessageLoop, TwoWindowsOfOneClassEachGetTheirMessages) {
  std::vector<int> first;
  std::vector<int> second;
  TestWindow a([&](WindowHandle, uint32_t message, uintptr_t wParam, intptr_t) {
    if (message != kMsgPing) return false;
    first.push_back(static_cast<int>(wParam));
    return true;
  });
  TestWindow b([&](WindowHandle, uint32_t message, uintptr_t wParam, intptr_t) {
    if (message == kMsgDone) {
      platform::PostQuit(0);
      return true;
    }
    if (message != kMsgPing) return false;
    second.push_back(static_cast<int>(wParam));
    return true;
  });
  ASSERT_NE(a.handle(), nullptr);
  ASSERT_NE(b.handle(), nullptr);
  EXPECT_NE(a.handle(), b.handle());
  platform::PostMessageToWindow(a.handle(), kMsgPing, 1, 0);
  platform::PostMessageToWindow(b.handle(), kMsgPing, 2, 0);
  platform::PostMessageToWindow(a.handle(), kMsgPing, 3, 0);
  platform::PostMessageToWindow(b.handle(), kMsgDone, 0, 0);
  EXPECT_EQ(RunLoopWithLimit(), 0);
  EXPECT_EQ(first, (std::vector<int>{1, 3}));
  EXPECT_EQ(second, (std::vector<int>{2}));
}

TEST(MessageLoop, DestroyedWindowGetsDestroyOnceAndNothingAfter) {
  int destroys = 0;
  int pings = 0;
  bool existedDuringDestroy = false;
  TestWindow window([&](WindowHandle w, uint32_t message, uintptr_t, intptr_t) {
    if (message == platform::kMsgDestroy) {
      ++destroys;
      existedDuringDestroy = platform::IsWindow(w);
    }
    if (message == kMsgPing) ++pings;
    return message == platform::kMsgDestroy || message == kMsgPing;
  });
  WindowHandle w = window.handle();
  ASSERT_NE(w, nullptr);
  ASSERT_EQ(platform::SetWindowTimer(w, 1, 10), 1u);
  ASSERT_TRUE(platform::PostMessageToWindow(w, kMsgPing, 0, 0));
  ASSERT_TRUE(platform::PostMessageToWindow(w, kMsgPing, 0, 0));
  ASSERT_TRUE(platform::DestroyWindow(w));
  EXPECT_EQ(destroys, 1);
  EXPECT_TRUE(existedDuringDestroy);
  EXPECT_FALSE(platform::IsWindow(w));

  platform::SetLastError(0);
  EXPECT_FALSE(platform::PostMessageToWindow(w, kMsgPing, 0, 0));
  EXPECT_EQ(platform::LastError(), platform::kErrorInvalidWindowHandle);
  platform::SetLastError(0);
  EXPECT_EQ(platform::GetWindowUserData(w), nullptr);
  EXPECT_EQ(platform::LastError(), platform::kErrorInvalidWindowHandle);
  EXPECT_FALSE(platform::DestroyWindow(w));

  // Neither the pending messages nor the timer reach the procedure any more.
  const uintptr_t end = platform::SetThreadTimer(100, QuitFromThreadTimer);
  ASSERT_NE(end, 0u);
  EXPECT_EQ(RunLoopWithLimit(), 0);
  EXPECT_EQ(pings, 0);
  EXPECT_EQ(destroys, 1);
}

TEST(MessageLoop, CloseThroughTheDefaultProcedureDestroysTheWindow) {
  int destroys = 0;
  TestWindow window([&](WindowHandle, uint32_t message, uintptr_t, intptr_t) {
    if (message == platform::kMsgDestroy) ++destroys;
    return false;
  });
  ASSERT_NE(window.handle(), nullptr);
  platform::SendMessageToWindow(window.handle(), platform::kMsgClose, 0, 0);
  EXPECT_FALSE(platform::IsWindow(window.handle()));
  EXPECT_EQ(destroys, 1);
}

intptr_t IgnoreMessages(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return platform::DefaultWindowProc(window, message, wParam, lParam);
}

void CreateWindowAndEnd(void* raw) {
  *static_cast<WindowHandle*>(raw) = platform::CreateMessageWindow(L"DevuEndedThreadTest", IgnoreMessages);
}

TEST(MessageLoop, WindowsOfAThreadThatEndedAreGone) {
  WindowHandle orphan = nullptr;
  platform::ThreadHandle thread = platform::StartThread(CreateWindowAndEnd, &orphan, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_TRUE(platform::WaitThread(thread, platform::kWaitInfinite));
  platform::CloseThreadHandle(thread);
  ASSERT_NE(orphan, nullptr);
  // Nobody would ever read a message posted to it.
  const uint32_t start = platform::TickCount();
  while (platform::IsWindow(orphan) && platform::TickCount() - start < 5000) platform::SleepMs(5);
  platform::SetLastError(0);
  EXPECT_FALSE(platform::PostMessageToWindow(orphan, kMsgPing, 0, 0));
  EXPECT_EQ(platform::LastError(), platform::kErrorInvalidWindowHandle);
}

struct RegisteredOnThread {
  std::atomic<uint32_t> id{0};
};

void RegisterDispatchName(void* raw) {
  static_cast<RegisteredOnThread*>(raw)->id = platform::RegisterMessage(L"org.devu.test.MainThreadFired");
}

TEST(MessageLoop, RegisteredMessageIdsAreSharedByNameAcrossThreads) {
  const uint32_t first = platform::RegisterMessage(L"org.devu.test.MainThreadFired");
  const uint32_t again = platform::RegisterMessage(L"org.devu.test.MainThreadFired");
  const uint32_t other = platform::RegisterMessage(L"org.devu.test.Other");
  EXPECT_GE(first, 0xC000u);
  EXPECT_LE(first, 0xFFFFu);
  EXPECT_GE(other, 0xC000u);
  EXPECT_LE(other, 0xFFFFu);
  EXPECT_EQ(first, again);
  EXPECT_NE(first, other);

  RegisteredOnThread onThread;
  platform::ThreadHandle thread = platform::StartThread(RegisterDispatchName, &onThread, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_TRUE(platform::WaitThread(thread, platform::kWaitInfinite));
  platform::CloseThreadHandle(thread);
  EXPECT_EQ(onThread.id.load(), first);
}

TEST(MessageLoop, ModalLoopRunsMessagesAndTimersUntilItsFlagIsSet) {
  constexpr uintptr_t kEndModal = 3;
  bool ended = false;
  int depth = 0;
  std::vector<int> workDepths;
  std::vector<bool> modalResults;
  TestWindow window([&](WindowHandle w, uint32_t message, uintptr_t, intptr_t) {
    if (message == kMsgOpenModal) {
      platform::PostMessageToWindow(w, kMsgModalWork, 0, 0);
      platform::PostMessageToWindow(w, kMsgModalWork, 0, 0);
      platform::SetWindowTimer(w, kEndModal, 20);
      ++depth;
      modalResults.push_back(platform::RunModalLoop(ended));
      --depth;
      platform::PostMessageToWindow(w, kMsgDone, 0, 0);
    } else if (message == kMsgModalWork) {
      workDepths.push_back(depth);
    } else if (message == platform::kMsgTimer) {
      platform::KillWindowTimer(w, kEndModal);
      ended = true;
    } else if (message == kMsgDone) {
      platform::PostQuit(9);
    } else {
      return false;
    }
    return true;
  });
  ASSERT_NE(window.handle(), nullptr);
  ASSERT_TRUE(platform::PostMessageToWindow(window.handle(), kMsgOpenModal, 0, 0));
  EXPECT_EQ(RunLoopWithLimit(), 9);
  EXPECT_EQ(modalResults, (std::vector<bool>{true}));
  EXPECT_EQ(workDepths, (std::vector<int>{1, 1}));

  // A flag that is already set returns at once.
  EXPECT_TRUE(platform::RunModalLoop(ended));
}

TEST(MessageLoop, QuitInsideAModalLoopEndsBothLoops) {
  bool ended = false;
  int depth = 0;
  std::vector<int> workDepths;
  std::vector<bool> modalResults;
  int afterModal = 0;
  TestWindow window([&](WindowHandle w, uint32_t message, uintptr_t, intptr_t) {
    if (message == kMsgOpenModal) {
      platform::PostMessageToWindow(w, kMsgModalWork, 0, 0);
      platform::PostQuit(5);
      ++depth;
      modalResults.push_back(platform::RunModalLoop(ended));
      --depth;
      // Still delivered before the re-posted quit ends the outer loop.
      platform::PostMessageToWindow(w, kMsgDone, 0, 0);
    } else if (message == kMsgModalWork) {
      workDepths.push_back(depth);
    } else if (message == kMsgDone) {
      ++afterModal;
    } else {
      return false;
    }
    return true;
  });
  ASSERT_NE(window.handle(), nullptr);
  ASSERT_TRUE(platform::PostMessageToWindow(window.handle(), kMsgOpenModal, 0, 0));
  EXPECT_EQ(RunLoopWithLimit(), 5);
  EXPECT_EQ(modalResults, (std::vector<bool>{false}));
  EXPECT_EQ(workDepths, (std::vector<int>{1}));
  EXPECT_EQ(afterModal, 1);
  EXPECT_FALSE(ended);
}

}  // namespace
