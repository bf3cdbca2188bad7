#include "mediacommon/locks.h"

#include <gtest/gtest.h>

#include <future>

namespace moraine::mediacommon {
namespace {

bool FreeForAnotherThread(platform::CriticalSection& section) {
  return std::async(std::launch::async, [&] {
           if (!section.try_lock()) return false;
           section.unlock();
           return true;
         }).get();
}

TEST(LocksTest, ScopedLockHoldsUntilReleasedOrDestroyed) {
  platform::CriticalSection section;
  {
    ScopedLock guard(section);
    EXPECT_FALSE(FreeForAnotherThread(section));
    guard.Release();
    EXPECT_TRUE(FreeForAnotherThread(section));
    guard.Release();  // a second release leaves the section alone
  }
  EXPECT_TRUE(FreeForAnotherThread(section));
  {
    ScopedLock guard(section);
  }
  EXPECT_TRUE(FreeForAnotherThread(section));
}

TEST(LocksTest, SameThreadMayEnterAgain) {
  MyLock lock;
  MyScopedLock outer(lock);
  MyScopedLock inner(lock);
  EXPECT_FALSE(FreeForAnotherThread(lock.Section()));
}

TEST(LocksTest, GlobalLockIsOneInstance) {
  EXPECT_EQ(&CGlobalLock::Instance(), &CGlobalLock::Instance());
}

}  // namespace
}  // namespace moraine::mediacommon
