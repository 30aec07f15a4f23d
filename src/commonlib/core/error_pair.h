#pragma once
// The error pair (type, code) that results, events and log lines carry; (0, 0) is success.
#include <cstdint>

namespace error_type {
inline constexpr int32_t kOk = 0;
inline constexpr int32_t kSystem = 1;  // a Windows error code
inline constexpr int32_t kCrt = 2;     // a C runtime errno
inline constexpr int32_t kUser = 3;    // the system's own codes below
inline constexpr int32_t kHttp = 4;    // an HTTP status
inline constexpr int32_t kCurl = 5;    // a libcurl result code
}  // namespace error_type

// A result as calls return it.
struct ErrorPair {
  int32_t type = error_type::kOk;
  int32_t code = 0;
  bool IsOk() const { return type == error_type::kOk && code == 0; }
  bool operator==(const ErrorPair&) const = default;
};

// The system's own codes (type kUser unless noted).
namespace user_error {
inline constexpr int32_t kNoBlockAtStart = -1;
inline constexpr int32_t kDataFileNotCreatable = 6;
inline constexpr int32_t kNoSourceLeft = 809;
inline constexpr int32_t kNoExpectedSize = 810;  // a download task was given the size 0
inline constexpr int32_t kWriterNotOpen = 2001;
inline constexpr int32_t kBlockAlreadyComplete = 2005;
inline constexpr int32_t kRangeIgnored = 2008;  // with type kHttp
inline constexpr int32_t kLengthMismatch = 2009;
inline constexpr int32_t kRangeMismatch = 2010;  // a Content-Range starting elsewhere than asked
inline constexpr int32_t kNoProgress = 3002;
inline constexpr int32_t kPinnedRedirect = 3003;
}  // namespace user_error
