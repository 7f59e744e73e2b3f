// The trigger on its own: its worker thread against the real clock, multimedia timers and
// notifications. Margins are generous (the machine may be busy); the benchmark measures
// how close firings land.
#include "scheduler/TimeTrigger.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <vector>

#include "app/WindowMessages.h"

namespace {

constexpr uint64_t kMs = kFileTimeUnitsPerMs;

SYSTEMTIME LocalTimeIn(int64_t milliseconds) {
  const uint64_t when = LocalFileTimeNow() + milliseconds * static_cast<int64_t>(kMs);
  FILETIME time{static_cast<DWORD>(when), static_cast<DWORD>(when >> 32)};
  SYSTEMTIME local{};
  ::FileTimeToSystemTime(&time, &local);
  return local;
}

uint64_t ToFileTime(const SYSTEMTIME& local) {
  FILETIME time{};
  ::SystemTimeToFileTime(&local, &time);
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Counts the firings of one trigger and notes the local time of each.
struct Firings {
  std::atomic<int> count{0};
  std::atomic<uint64_t> last{0};
  uint32_t userValue = ~0u;

  static void Record(CTimeTrigger*, uint32_t userValue);
  CTimeTrigger::Target Target() { return {nullptr, nullptr, &Firings::Record}; }
};
Firings* g_firings = nullptr;
void Firings::Record(CTimeTrigger*, uint32_t userValue) {
  g_firings->last = LocalFileTimeNow();
  g_firings->userValue = userValue;
  ++g_firings->count;
}

class TimeTriggerTest : public ::testing::Test {
 protected:
  void SetUp() override { g_firings = &firings; }
  void TearDown() override { g_firings = nullptr; }

  // Waits until `done` holds, up to `ms`.
  template <class F>
  static bool WaitUntil(F done, int ms) {
    for (int waited = 0; waited < ms && !done(); waited += 5) ::Sleep(5);
    return done();
  }

  Firings firings;
};

TEST_F(TimeTriggerTest, FiresOnceAtItsMomentAndDisarms) {
  CTimeTrigger trigger;
  for (const int64_t ahead : {300, 1600}) {  // within the last second, and further
    SCOPED_TRACE(ahead);
    firings.count = 0;
    const SYSTEMTIME when = LocalTimeIn(ahead);
    ASSERT_TRUE(trigger.Schedule(firings.Target(), when, 7));
    EXPECT_TRUE(trigger.IsArmed());
    ASSERT_TRUE(WaitUntil([&] { return firings.count > 0; }, static_cast<int>(ahead) + 5000));
    const int64_t late = static_cast<int64_t>(firings.last - ToFileTime(when)) / static_cast<int64_t>(kMs);
    EXPECT_GE(late, 0) << "never early";
    // A worker that waited a whole second here would be hundreds of milliseconds late.
    EXPECT_LT(late, 250);
    EXPECT_EQ(firings.userValue, 7u);
    EXPECT_TRUE(WaitUntil([&] { return !trigger.IsArmed(); }, 2000));
    ::Sleep(1200);
    EXPECT_EQ(firings.count, 1) << "fires once";
    EXPECT_FALSE(trigger.Cancel()) << "nothing left to cancel";
  }
}

TEST_F(TimeTriggerTest, PostsTheDueMessageToItsWindow) {
  HWND window = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  CTimeTrigger trigger;
  ASSERT_TRUE(trigger.Schedule(window, LocalTimeIn(100), 1));
  MSG msg{};
  bool arrived = false;
  for (int waited = 0; waited < 5000 && !arrived; waited += 5) {
    arrived = ::PeekMessageA(&msg, window, WM_SCHEDULE_DUE, WM_SCHEDULE_DUE, PM_REMOVE) != FALSE;
    if (!arrived) ::Sleep(5);
  }
  ASSERT_TRUE(arrived);
  EXPECT_EQ(msg.wParam, reinterpret_cast<WPARAM>(&trigger));
  EXPECT_EQ(msg.lParam, 1);
  ::DestroyWindow(window);
}

TEST_F(TimeTriggerTest, SignalsItsEvent) {
  HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  CTimeTrigger trigger;
  CTimeTrigger::Target target;
  target.event = event;
  target.callback = &Firings::Record;  // the event takes precedence
  ASSERT_TRUE(trigger.Schedule(target, LocalTimeIn(50), 0));
  EXPECT_EQ(::WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
  EXPECT_TRUE(WaitUntil([&] { return !trigger.IsArmed(); }, 2000));
  EXPECT_EQ(firings.count, 0);
  ::CloseHandle(event);
}

TEST_F(TimeTriggerTest, CancelBeforeTheMomentStopsAtOnce) {
  CTimeTrigger trigger;
  const SYSTEMTIME when = LocalTimeIn(2500);
  ASSERT_TRUE(trigger.Schedule(firings.Target(), when, 0));
  ::Sleep(100);  // the worker is inside its one-second wait
  const DWORD before = ::GetTickCount();
  EXPECT_TRUE(trigger.Cancel());
  EXPECT_LT(::GetTickCount() - before, 900u) << "the stop event ends the wait";
  EXPECT_FALSE(trigger.IsArmed());
  EXPECT_FALSE(trigger.Cancel());
  ::Sleep(2800);
  EXPECT_EQ(firings.count, 0);
}

TEST_F(TimeTriggerTest, ArmingAnArmedTriggerOrAnImpossibleTimeIsRefused) {
  CTimeTrigger trigger;
  ASSERT_TRUE(trigger.Schedule(firings.Target(), LocalTimeIn(400), 1));
  EXPECT_FALSE(trigger.Schedule(firings.Target(), LocalTimeIn(5000), 2));
  ASSERT_TRUE(WaitUntil([&] { return firings.count > 0; }, 5000));
  EXPECT_EQ(firings.userValue, 1u) << "the first arming stands";

  SYSTEMTIME impossible = LocalTimeIn(1000);
  impossible.wMonth = 13;
  ASSERT_TRUE(WaitUntil([&] { return !trigger.IsArmed(); }, 2000));
  EXPECT_FALSE(trigger.Schedule(firings.Target(), impossible, 3)) << "not taken for a moment long past";
  EXPECT_FALSE(trigger.IsArmed());
  ::Sleep(300);
  EXPECT_EQ(firings.count, 1);
}

TEST_F(TimeTriggerTest, CancelRacingAFiringNeverDeadlocksOrFiresAfterward) {
  CTimeTrigger trigger;
  for (int i = 0; i < 300; ++i) {
    // The moment is now or a millisecond or two ahead: the worker fires while Cancel runs,
    // or just before, or just after it would have.
    ASSERT_TRUE(WaitUntil([&] { return !trigger.IsArmed(); }, 2000)) << i;
    ASSERT_TRUE(trigger.Schedule(firings.Target(), LocalTimeIn(i % 3), 0)) << i;
    for (int spin = 0; spin < (i % 7) * 2000; ++spin) YieldProcessor();
    trigger.Cancel();
    EXPECT_FALSE(trigger.IsArmed()) << i;
    const int afterCancel = firings.count;
    EXPECT_LE(afterCancel, i + 1) << "at most one firing per arming";
    ::Sleep(i % 5 == 0 ? 5 : 0);
    EXPECT_EQ(firings.count, afterCancel) << "nothing fires once Cancel has returned, " << i;
  }
}

TEST_F(TimeTriggerTest, APendingTimerNeverSignalsAClosedEvent) {
  // Each cancel leaves the worker's one-second timer pending; the events made right after
  // take the handle values the workers' closed events had.
  std::vector<HANDLE> events;
  CTimeTrigger trigger;
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(trigger.Schedule(firings.Target(), LocalTimeIn(10000), 0));
    ::Sleep(20);
    ASSERT_TRUE(trigger.Cancel());
    events.push_back(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  }
  ::Sleep(1300);
  for (HANDLE event : events) {
    EXPECT_EQ(::WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    ::CloseHandle(event);
  }
  EXPECT_EQ(firings.count, 0);
}

TEST_F(TimeTriggerTest, DestructionWhileArmedOrJustAfterAFiring) {
  auto armed = std::make_unique<CTimeTrigger>();
  ASSERT_TRUE(armed->Schedule(firings.Target(), LocalTimeIn(3000), 0));
  ::Sleep(50);
  const DWORD before = ::GetTickCount();
  armed.reset();
  EXPECT_LT(::GetTickCount() - before, 900u);
  for (int i = 0; i < 50; ++i) {
    auto firing = std::make_unique<CTimeTrigger>();
    ASSERT_TRUE(firing->Schedule(firings.Target(), LocalTimeIn(0), 0));
    if (i % 2) ::Sleep(1);
    firing.reset();  // its worker may be firing, deciding or ending just now
  }
  const int fired = firings.count;
  ::Sleep(3200);
  EXPECT_EQ(firings.count, fired);
}

TEST_F(TimeTriggerTest, RepeatsByItsRuleThenDisarms) {
  RepeatRule rule;
  rule.kind = RepeatKind::Interval;
  rule.milliseconds = 150;
  rule.remaining = 2;
  CTimeTrigger trigger;
  const SYSTEMTIME when = LocalTimeIn(200);
  ASSERT_TRUE(trigger.Schedule(firings.Target(), when, 0, rule));
  ASSERT_TRUE(WaitUntil([&] { return !trigger.IsArmed(); }, 5000));
  EXPECT_EQ(firings.count, 3) << "the first firing and two repeats";
  EXPECT_GE(firings.last.load(), ToFileTime(when) + 300 * kMs);

  // Arming again without a rule fires once: the rule ended with the worker.
  firings.count = 0;
  ASSERT_TRUE(trigger.Schedule(firings.Target(), LocalTimeIn(50), 0));
  ASSERT_TRUE(WaitUntil([&] { return !trigger.IsArmed(); }, 5000));
  ::Sleep(400);
  EXPECT_EQ(firings.count, 1);
}

}  // namespace
