#pragma once
// The open flags of CFileEx and their meaning as platform open parameters.
#include <cstdint>

#include "platform/file.h"

enum FileExFlags : uint32_t {
  // Access, bits 0-1 (3: no access rights).
  FileModeRead = 0x0000,
  FileModeWrite = 0x0001,
  FileModeReadWrite = 0x0002,
  // Sharing, bits 4-6 (0x00, 0x50, 0x60 and 0x70 share nothing either).
  FileShareExclusive = 0x0010,
  FileShareDenyWrite = 0x0020,
  FileShareDenyRead = 0x0030,
  FileShareDenyNone = 0x0040,
  FileNoInherit = 0x0080,
  // Without FileCreate the file must exist; with it an existing file is truncated, unless
  // FileNoTruncate is given too.
  FileCreate = 0x1000,
  FileNoTruncate = 0x2000,
  FileBinary = 0x8000,  // accepted and ignored
};

platform::FileOpenParams FileExOpenParams(uint32_t flags);
