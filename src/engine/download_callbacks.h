#pragma once
// How a download reports to the application: progress every engine tick, and its end once.
#include <cstdint>
#include <functional>

// `speed` in bytes per second.
using DownloadProgressCallback =
    std::function<void(uintptr_t userData, uint64_t total, uint64_t completed, uint32_t speed)>;
// (0, 0) success; (3, code) a failure of the engine's own; (system error, 0) the final rename failed.
using DownloadCompleteCallback =
    std::function<void(uintptr_t userData, int32_t errorType, int32_t errorCode)>;
