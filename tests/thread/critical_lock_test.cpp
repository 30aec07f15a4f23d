#include "thread/critical_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "thread/singleton.h"

namespace {

TEST(CriticalLock, IsRecursiveForItsOwnerAndExcludesOthers) {
  CCriticalLock lock;
  bool otherGotIt = true;
  {
    CScopedLock outer(lock);
    CScopedLock inner(lock);  // the owner enters again without blocking
    std::thread other([&] {
      otherGotIt = lock.TryLock();
      if (otherGotIt) lock.Unlock();
    });
    other.join();
  }
  EXPECT_FALSE(otherGotIt);
  std::thread after([&] {
    otherGotIt = lock.TryLock();
    if (otherGotIt) lock.Unlock();
  });
  after.join();
  EXPECT_TRUE(otherGotIt);  // both guards left the lock
}

class Counted : public CSingleton<Counted> {
 public:
  static std::atomic<int> constructions;

 private:
  friend class CSingleton<Counted>;
  Counted() {
    constructions.fetch_add(1);
    std::this_thread::yield();
  }
};
std::atomic<int> Counted::constructions{0};

TEST(Singleton, FirstUseFromManyThreadsCreatesOneInstance) {
  std::vector<std::thread> threads;
  std::vector<Counted*> seen(8, nullptr);
  for (size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([&seen, i] { seen[i] = Counted::GetInstance(); });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(Counted::constructions.load(), 1);
  for (Counted* instance : seen) EXPECT_EQ(instance, seen[0]);
}

}  // namespace
