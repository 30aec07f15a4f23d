#include "platform/folder_picker.h"

namespace platform {

std::wstring PickFolder(WindowHandle, const std::wstring&, const std::wstring&) { return {}; }

}  // namespace platform
