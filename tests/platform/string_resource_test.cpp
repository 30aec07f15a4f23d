#include "platform/string_resource.h"

#include <gtest/gtest.h>

namespace {

// The test program carries no string table: every id is missing, and nothing breaks.
TEST(StringResource, MissingIdGivesEmptyText) {
  EXPECT_EQ(platform::LoadStringResource(3), L"");
  EXPECT_EQ(platform::LoadStringResource(65535), L"");
}

}  // namespace
