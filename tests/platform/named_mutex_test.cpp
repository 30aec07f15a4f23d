#include "platform/named_mutex.h"

#include <gtest/gtest.h>

#include "platform/ids.h"

namespace {

TEST(NamedMutex, SecondCreateSeesTheFirstUntilBothAreClosed) {
  const std::wstring name = L"devu_test_mutex_" + std::to_wstring(platform::CurrentProcessId());
  bool existed = true;
  platform::NamedMutex first = platform::CreateNamedMutex(name, &existed);
  ASSERT_NE(first, nullptr);
  EXPECT_FALSE(existed);

  platform::NamedMutex second = platform::CreateNamedMutex(name, &existed);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(existed);

  bool otherExisted = true;
  platform::NamedMutex other = platform::CreateNamedMutex(name + L"_other", &otherExisted);
  EXPECT_FALSE(otherExisted);

  platform::CloseNamedMutex(second);
  platform::CloseNamedMutex(first);
  platform::CloseNamedMutex(other);

  platform::NamedMutex again = platform::CreateNamedMutex(name, &existed);
  ASSERT_NE(again, nullptr);
  EXPECT_FALSE(existed);
  platform::CloseNamedMutex(again);
}

}  // namespace
