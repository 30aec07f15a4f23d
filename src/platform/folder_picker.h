#pragma once
// The system's folder picker.
#include <string>

#include "platform/message_loop.h"

namespace platform {

// Shows the picker owned by `owner` with `title`, the new dialog style, an edit box and file-system
// folders only; it opens at `initialPath` (the current directory when empty) and shows the
// selected path as its status text. Returns the chosen path, empty when cancelled. Call on the UI
// thread. POSIX has no picker: always cancelled.
std::wstring PickFolder(WindowHandle owner, const std::wstring& title, const std::wstring& initialPath);

}  // namespace platform
