#include "platform/path.h"

#include <gtest/gtest.h>

namespace {

bool LooksLikeDrivePath(const std::wstring& path) {
  return path.size() >= 3 && path[1] == L':' && path[2] == L'\\' &&
         ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
}

TEST(Path, ModuleAndTempFolderAreWindowsPaths) {
  const std::wstring module = platform::ModuleFilePath();
  EXPECT_TRUE(LooksLikeDrivePath(module)) << module;
  EXPECT_NE(module.find(L"platform_tests"), std::wstring::npos);
  EXPECT_EQ(module.find(L'/'), std::wstring::npos);

  const std::wstring temp = platform::TempFolder();
  EXPECT_TRUE(LooksLikeDrivePath(temp));
  EXPECT_EQ(temp.back(), L'\\');
  EXPECT_EQ(temp.find(L'/'), std::wstring::npos);
}

TEST(Path, ArgumentsBecomeFullPathsOfTheDriveSpace) {
  const std::wstring relative = platform::FullPathFromArgument(L"sub/file.bin");
  EXPECT_TRUE(LooksLikeDrivePath(relative)) << relative;
  EXPECT_EQ(relative.substr(relative.size() - 13), L"\\sub\\file.bin");
  const std::wstring temp = platform::TempFolder() + L"x.bin";
  EXPECT_EQ(platform::FullPathFromArgument(temp), temp);
  EXPECT_EQ(platform::FullPathFromArgument(L""), L"");
}

}  // namespace
