#include "commonlib/core/file_ex_flags.h"

platform::FileOpenParams FileExOpenParams(uint32_t flags) {
  platform::FileOpenParams params;

  switch (flags & 0x3) {
    case FileModeRead: params.access = platform::FileAccess::Read; break;
    case FileModeWrite: params.access = platform::FileAccess::Write; break;
    case FileModeReadWrite: params.access = platform::FileAccess::ReadWrite; break;
    default: params.access = platform::FileAccess::None; break;
  }

  switch (flags & 0x70) {
    case FileShareDenyWrite: params.share = platform::kShareRead; break;
    case FileShareDenyRead: params.share = platform::kShareWrite; break;
    case FileShareDenyNone: params.share = platform::kShareRead | platform::kShareWrite; break;
    default: params.share = platform::kShareNone; break;
  }

  params.inheritable = (flags & FileNoInherit) == 0;

  if ((flags & FileCreate) == 0) {
    params.disposition = platform::FileDisposition::OpenExisting;
  } else if ((flags & FileNoTruncate) != 0) {
    params.disposition = platform::FileDisposition::OpenAlways;
  } else {
    params.disposition = platform::FileDisposition::CreateAlways;
  }
  return params;
}
