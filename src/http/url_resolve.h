#pragma once
// Resolves a redirect target against the address that was redirected.
#include <string>

// `location` as an absolute URL: returned as it is when it is absolute, else resolved against
// `base` (a path, a relative path, "//host/..." or "?query"). Empty when it cannot be resolved.
std::wstring ResolveLocation(const std::wstring& base, const std::wstring& location);
