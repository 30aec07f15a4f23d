#pragma once
// POSIX backends only: the opens of this process, so that Win32 share modes can be enforced among
// them (POSIX itself has no mandatory sharing).
#include <sys/types.h>

#include <cstdint>
#include <mutex>

namespace platform::posix {

struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
};

struct OpenFileRecord {
  bool read = false;
  bool write = false;
  uint32_t share = 0;  // FileShare bits
};

// Every sequence that checks the table and then acts on the file (open, delete, rename) holds this
// lock throughout, so that no other open slips in between.
std::mutex& OpenFileTableLock();

// The calls below require OpenFileTableLock() to be held.

// Whether a new open with this access and share mode is refused by the existing opens, or refuses
// them (kErrorSharingViolation on Windows).
bool ShareConflicts(const FileIdentity& file, const OpenFileRecord& wanted);
// Whether any open has read or write access: Windows refuses to delete or rename such a file,
// since none of our opens grants delete sharing.
bool IsOpenForData(const FileIdentity& file);
// Whether the file is open at all, with or without access rights.
bool IsOpen(const FileIdentity& file);

// Registers an open; the returned ticket removes exactly this one again.
uint64_t AddOpen(const FileIdentity& file, const OpenFileRecord& record);
void RemoveOpen(const FileIdentity& file, uint64_t ticket);

}  // namespace platform::posix
