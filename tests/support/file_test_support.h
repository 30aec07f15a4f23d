#pragma once
// For the file tests: a fresh directory per test under the temporary folder, removed with its
// contents afterwards, and whole-file reads and writes through the platform calls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/ids.h"
#include "platform/path.h"

namespace file_test {

inline void RemoveTree(const std::wstring& dir) {
  std::vector<platform::DirectoryEntry> entries;
  if (platform::ListDirectory(dir, &entries)) {
    for (const auto& entry : entries) {
      const std::wstring path = dir + L"\\" + entry.name;
      if (entry.info.isDirectory) {
        RemoveTree(path);
      } else {
        platform::SetReadOnly(path, false);
        platform::RemoveFile(path);
      }
    }
  }
  platform::RemoveEmptyDirectory(dir);
}

class ScratchDirectory {
 public:
  ScratchDirectory() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "_" + test->name();
    path_ = platform::TempFolder() + L"devu_" + std::wstring(name.begin(), name.end()) + L"_" +
            std::to_wstring(platform::CurrentProcessId());
    RemoveTree(path_);  // left over by an earlier run that was killed
    const uint32_t made = platform::MakeDirectoryTree(path_);
    EXPECT_EQ(made, platform::kErrorSuccess) << "cannot make the scratch directory";
  }
  ~ScratchDirectory() { RemoveTree(path_); }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  // Without a trailing backslash.
  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

// Expects the open to fail with `error`; closes the handle should it have opened after all.
inline void ExpectOpenFails(const std::wstring& path, const platform::FileOpenParams& params,
                            uint32_t error) {
  platform::NativeFile file = platform::OpenFile(path, params);
  EXPECT_EQ(file, nullptr);
  if (file != nullptr) {
    platform::CloseFile(file);
    return;
  }
  EXPECT_EQ(platform::LastError(), error);
}

inline bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  platform::FileOpenParams params;
  params.access = platform::FileAccess::Write;
  params.disposition = platform::FileDisposition::CreateAlways;
  platform::NativeFile file = platform::OpenFile(path, params);
  if (file == nullptr) return false;
  uint32_t written = 0;
  const bool ok =
      platform::WriteFile(file, bytes.data(), static_cast<uint32_t>(bytes.size()), &written) &&
      written == bytes.size();
  return platform::CloseFile(file) && ok;
}

// The file's bytes, or "<error N>" / "<read error N>" when it cannot be opened or read.
inline std::string ReadWholeFile(const std::wstring& path) {
  platform::FileOpenParams params;
  params.access = platform::FileAccess::Read;
  params.share = platform::kShareRead | platform::kShareWrite;
  platform::NativeFile file = platform::OpenFile(path, params);
  if (file == nullptr) return "<error " + std::to_string(platform::LastError()) + ">";
  std::string bytes;
  char buffer[4096];
  for (;;) {
    uint32_t got = 0;
    if (!platform::ReadFile(file, buffer, sizeof(buffer), &got)) {
      bytes = "<read error " + std::to_string(platform::LastError()) + ">";
      break;
    }
    if (got == 0) break;
    bytes.append(buffer, got);
  }
  platform::CloseFile(file);
  return bytes;
}

}  // namespace file_test
