#pragma once
// POSIX backends only: the drive table that maps the Windows path space onto native paths.
#include <string>
#include <string_view>

namespace platform::posix {

// "X:\a\b" (or with "/") on a mapped drive becomes the drive's directory + "/a/b"; "X:" alone is
// the drive's root; "\a" is taken on drive C:; a path without a drive stays relative, with "/"
// separators. UNC paths and unmapped drives fail with kErrorPathNotFound.
bool ToNativePath(std::wstring_view path, std::string* native);

// An absolute native path becomes a path on the drive with the longest matching root; a relative
// one stays relative, with "\" separators.
std::wstring FromNativePath(std::string_view native);

}  // namespace platform::posix
