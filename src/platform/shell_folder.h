#pragma once
// Shell special folders by CSIDL number. POSIX: the folders of a clean Windows 10 machine under a
// root that tests can move (default "C:", so common documents are "C:\Users\Public\Documents").
#include <string>

namespace platform {

constexpr int kCsidlCommonDocuments = 0x2E;
constexpr int kCsidlCommonAppData = 0x23;

// The folder's path without a trailing backslash; empty when the folder is unknown.
std::wstring SpecialFolderPath(int csidl);

// POSIX: puts every special folder under `root` (a Windows path without a trailing backslash);
// an empty root restores the default. Windows: the system decides, false.
bool SetSpecialFolderRoot(const std::wstring& root);

}  // namespace platform
