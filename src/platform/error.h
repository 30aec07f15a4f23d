#pragma once
// Win32 error numbers on every target. Platform calls report failure through their result and
// leave the reason in the calling thread's last error, as Win32 does: on Windows these are
// GetLastError/SetLastError, on POSIX a thread-local value that the POSIX backends fill from errno.
#include <cstdint>

namespace platform {

uint32_t LastError();
void SetLastError(uint32_t code);

// The Win32 numbers the system meets; the POSIX backends map errno onto these.
constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorInvalidFunction = 1;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorTooManyOpenFiles = 4;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uint32_t kErrorNotSameDevice = 17;
constexpr uint32_t kErrorWriteProtect = 19;
constexpr uint32_t kErrorGenFailure = 31;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorLockViolation = 33;
constexpr uint32_t kErrorHandleEof = 38;
constexpr uint32_t kErrorNotSupported = 50;
constexpr uint32_t kErrorFileExists = 80;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorBrokenPipe = 109;
constexpr uint32_t kErrorDiskFull = 112;
constexpr uint32_t kErrorCallNotImplemented = 120;
constexpr uint32_t kErrorInvalidName = 123;
constexpr uint32_t kErrorDirNotEmpty = 145;
constexpr uint32_t kErrorBusy = 170;
constexpr uint32_t kErrorAlreadyExists = 183;
constexpr uint32_t kErrorFilenameExcedRange = 206;
constexpr uint32_t kErrorDirectory = 267;
constexpr uint32_t kErrorInvalidWindowHandle = 1400;
constexpr uint32_t kErrorTimeout = 1460;

}  // namespace platform
