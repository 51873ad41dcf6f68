// The platform seam: the C library generator, command-line joining, events,
// waits on several events, locks and threads.
#include <gtest/gtest.h>

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <vector>

#include "platform/CRand.h"
#include "platform/CommandLine.h"
#include "platform/PerfCounter.h"
#include "platform/Threading.h"

TEST(CRand, RepeatsThePlatformSequenceFromStateOne) {
  const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
  for (int want : expected) EXPECT_EQ(platform::CRand(), want);
}

TEST(CRand, EveryThreadStartsAtStateOne) {
  platform::CRand();
  platform::CRand();
  int first = 0;
  platform::Thread t;
  t.Start([&] { first = platform::CRand(); });
  t.Join();
  EXPECT_EQ(first, 41);
}

TEST(CRand, SeedRestartsTheSequence) {
  platform::CSRand(1);
  EXPECT_EQ(platform::CRand(), 41);
  platform::CSRand(1);
  EXPECT_EQ(platform::CRand(), 41);
}

TEST(CommandLine, JoinsProgramPathAndArgumentsWithSpaces) {
  const char* argv[] = {"/opt/Velmora-Pinvale", "-fps", "-640x480"};
  platform::SetCommandLine(3, argv);
  EXPECT_EQ(platform::GetCommandLine(), "/opt/Velmora-Pinvale -fps -640x480");
}

TEST(PerfCounter, IsMonotonic) {
  const uint64_t a = platform::QueryPerformanceCounter();
  const uint64_t b = platform::QueryPerformanceCounter();
  EXPECT_LE(a, b);
}

TEST(Event, AutoResetReleasesOneWaitAndClears) {
  platform::Event e(false, true);
  EXPECT_TRUE(e.Wait(0));
  EXPECT_FALSE(e.Wait(0));
}

TEST(Event, ManualResetStaysSetUntilReset) {
  platform::Event e(true, false);
  EXPECT_FALSE(e.Wait(0));
  e.Set();
  EXPECT_TRUE(e.Wait(0));
  EXPECT_TRUE(e.Wait(0));
  e.Reset();
  EXPECT_FALSE(e.Wait(10));
}

TEST(Event, WaitAnyReturnsTheIndexOfTheSetEvent) {
  platform::Event a, b, c;
  platform::Event* all[] = {&a, &b, &c};
  platform::Thread t;
  t.Start([&] {
    platform::SleepMs(20);
    c.Set();
  });
  EXPECT_EQ(platform::WaitForEvents(all, 3, false), 2);
  t.Join();
  EXPECT_EQ(platform::WaitForEvents(all, 3, false, 0), platform::kWaitTimeout);
}

TEST(Event, WaitAllNeedsEveryEvent) {
  platform::Event a, b(true);
  platform::Event* all[] = {&a, &b};
  a.Set();
  EXPECT_EQ(platform::WaitForEvents(all, 2, true, 10), platform::kWaitTimeout);
  b.Set();
  EXPECT_EQ(platform::WaitForEvents(all, 2, true, 10), 0);
  EXPECT_FALSE(a.Wait(0)) << "auto-reset event consumed by the wait";
  EXPECT_TRUE(b.Wait(0)) << "manual-reset event stays set";
}

TEST(Threads, WorkersWakeOnTheirEventAndCountUnderTheLock) {
  // The shape the decode workers use: a wake event per worker, a shared lock,
  // a done event the main thread waits on.
  constexpr int kWorkers = 8, kRounds = 50;
  platform::CriticalSection lock;
  int counter = 0;
  std::atomic<bool> quit{false};
  std::vector<std::unique_ptr<platform::Event>> wake, done;
  std::vector<std::unique_ptr<platform::Thread>> threads;
  for (int i = 0; i < kWorkers; ++i) {
    wake.push_back(std::make_unique<platform::Event>());
    done.push_back(std::make_unique<platform::Event>());
  }
  for (int i = 0; i < kWorkers; ++i) {
    threads.push_back(std::make_unique<platform::Thread>());
    threads.back()->Start([&, i] {
      for (;;) {
        wake[i]->Wait();
        if (quit) return;
        {
          platform::ScopedLock hold(lock);
          ++counter;
        }
        done[i]->Set();
      }
    });
  }
  std::vector<platform::Event*> doneList;
  for (auto& d : done) doneList.push_back(d.get());
  for (int r = 0; r < kRounds; ++r) {
    for (auto& w : wake) w->Set();
    ASSERT_EQ(platform::WaitForEvents(doneList.data(), kWorkers, true, 10000), 0);
  }
  quit = true;
  for (auto& w : wake) w->Set();
  for (auto& t : threads) t->Join();
  EXPECT_EQ(counter, kWorkers * kRounds);
}

TEST(Threads, AZeroSleepLetsAThreadOnTheSameProcessorRun) {
  // Both threads on one processor: the waiting loop must hand it over at
  // each zero sleep, so the other thread's one store ends it within a few
  // rounds. A zero sleep that returns at once spins the whole time slice,
  // hundreds of thousands of rounds, before the other thread gets a turn.
  cpu_set_t saved;
  ASSERT_EQ(pthread_getaffinity_np(pthread_self(), sizeof saved, &saved), 0);
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(sched_getcpu(), &one);
  ASSERT_EQ(pthread_setaffinity_np(pthread_self(), sizeof one, &one), 0);
  std::atomic<bool> started{false}, released{false};
  long rounds = 0;
  {
    platform::Thread other;  // inherits the one processor
    ASSERT_TRUE(other.Start([&] {
      while (!started) platform::SleepMs(0);
      released = true;
    }));
    started = true;
    while (!released) {
      platform::SleepMs(0);
      ++rounds;
    }
  }
  pthread_setaffinity_np(pthread_self(), sizeof saved, &saved);
  EXPECT_LT(rounds, 1000);
}
