#pragma once
// A machine-wide named mutex, used to keep a program from running twice. Windows: CreateMutexW.
// POSIX: an exclusive lock on a file in /tmp named after the mutex; the system drops it when the
// holder ends, even when the holder is killed.
#include <string>

namespace platform {

using NamedMutex = struct NamedMutexObject*;

// Creates the mutex (not initially owned) or opens the existing one. `alreadyExisted` tells
// whether another holder had it already. nullptr (with LastError()) when neither works.
NamedMutex CreateNamedMutex(const std::wstring& name, bool* alreadyExisted);
void CloseNamedMutex(NamedMutex mutex);

}  // namespace platform
