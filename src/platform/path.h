#pragma once
// The Windows path space. All code uses Windows paths ("C:\dir\file"). On POSIX the backend maps
// them the way Wine's drive folders do: each drive letter names a directory (C: is "/" unless the
// table says otherwise) and "\" becomes "/"; native paths coming from the system (the program's
// own file, the temporary folder) are mapped back into the drive space.
#include <string>

namespace platform {

// Full path of the running program's file.
std::wstring ModuleFilePath();

// The temporary folder, with a trailing backslash (as GetTempPathW gives it).
std::wstring TempFolder();

// A path as a user typed it on the command line (native form, relative to the current directory
// or absolute) as a full path of this path space. Empty when it cannot be made full.
std::wstring FullPathFromArgument(const std::wstring& argument);

// Makes `letter` (A..Z) a drive whose root is the existing directory `target` (a path in the same
// Windows path space). Windows: a DOS device, as subst does. POSIX: an entry of the drive table.
// Used by tests and headless runs to give the program a separate drive.
bool MapDrive(wchar_t letter, const std::wstring& target);
bool UnmapDrive(wchar_t letter);

}  // namespace platform
