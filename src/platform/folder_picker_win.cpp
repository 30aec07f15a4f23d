#include "platform/folder_picker.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

namespace platform {

namespace {

int CALLBACK PickerCallback(HWND dialog, UINT message, LPARAM param, LPARAM data) {
  if (message == BFFM_INITIALIZED) {
    ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
  } else if (message == BFFM_SELCHANGED) {
    wchar_t path[MAX_PATH] = {};
    if (::SHGetPathFromIDListW(reinterpret_cast<LPCITEMIDLIST>(param), path)) {
      ::SendMessageW(dialog, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path));
    }
  }
  return 0;
}

}  // namespace

std::wstring PickFolder(WindowHandle owner, const std::wstring& title, const std::wstring& initialPath) {
  std::wstring start = initialPath;
  if (start.empty()) {
    wchar_t current[MAX_PATH] = {};
    const DWORD n = ::GetCurrentDirectoryW(MAX_PATH, current);
    if (n > 0 && n < MAX_PATH) start.assign(current, n);
  }
  BROWSEINFOW info{};
  info.hwndOwner = reinterpret_cast<HWND>(owner);
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_NEWDIALOGSTYLE | BIF_EDITBOX | BIF_RETURNONLYFSDIRS;
  info.lpfn = PickerCallback;
  info.lParam = reinterpret_cast<LPARAM>(start.c_str());
  LPITEMIDLIST chosen = ::SHBrowseForFolderW(&info);
  if (chosen == nullptr) return {};
  wchar_t path[MAX_PATH] = {};
  const bool ok = ::SHGetPathFromIDListW(chosen, path) != FALSE;
  ::CoTaskMemFree(chosen);
  return ok ? std::wstring(path) : std::wstring();
}

}  // namespace platform
