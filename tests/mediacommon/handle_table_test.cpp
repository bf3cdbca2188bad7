#include "mediacommon/handle_table.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace moraine::mediacommon {
namespace {

struct Counter {
  int value = 0;
};

TEST(HandleTableTest, HandlesOutsideTheTableSelectNothing) {
  HandleTable<Counter> table;
  EXPECT_EQ(table.Acquire(-1), nullptr);
  EXPECT_EQ(table.Acquire(kHandleSlots), nullptr);
  EXPECT_EQ(table.Remove(kHandleSlots), nullptr);
  EXPECT_NE(table.Acquire(kHandleSlots - 1), nullptr);
}

TEST(HandleTableTest, EmptySlotGetsAnObjectThatStaysUntilRemoved) {
  HandleTable<Counter> table;
  table.Acquire(3)->value = 7;
  EXPECT_EQ(table.Acquire(3)->value, 7);
  EXPECT_EQ(table.Acquire(4)->value, 0);
  table.Remove(3);
  EXPECT_EQ(table.Acquire(3)->value, 0);
}

TEST(HandleTableTest, ReferenceOutlivesRemovalOfItsSlot) {
  HandleTable<Counter> table;
  const auto in_use = table.Acquire(0);
  in_use->value = 5;
  table.Remove(0);
  EXPECT_EQ(in_use->value, 5);
  EXPECT_EQ(in_use.use_count(), 1);
}

TEST(HandleTableTest, SlotsSurviveUseFromSeveralThreads) {
  HandleTable<Counter> table;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&table] {
      for (int i = 0; i < 2000; ++i) {
        const auto object = table.Acquire(i % 3);
        ASSERT_NE(object, nullptr);
        if (i % 5 == 0) table.Remove(i % 3);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_NE(table.Acquire(0), nullptr);
}

}  // namespace
}  // namespace moraine::mediacommon
