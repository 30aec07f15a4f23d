#include "platform/ids.h"

#include <windows.h>

namespace platform {

uint32_t CurrentProcessId() { return ::GetCurrentProcessId(); }
uint32_t CurrentThreadId() { return ::GetCurrentThreadId(); }

}  // namespace platform
