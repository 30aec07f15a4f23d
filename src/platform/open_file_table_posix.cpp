#include "platform/open_file_table_posix.h"

#include <map>
#include <utility>
#include <vector>

#include "platform/file.h"

namespace platform::posix {

namespace {

using Key = std::pair<dev_t, ino_t>;

struct TicketedRecord {
  uint64_t ticket;
  OpenFileRecord record;
};

struct OpenFileTable {
  std::mutex lock;
  std::map<Key, std::vector<TicketedRecord>> opens;
  uint64_t nextTicket = 1;
};

OpenFileTable& Table() {
  static OpenFileTable table;
  return table;
}

Key KeyOf(const FileIdentity& file) { return {file.device, file.inode}; }

const std::vector<TicketedRecord>* OpensOf(const FileIdentity& file) {
  const auto& opens = Table().opens;
  const auto found = opens.find(KeyOf(file));
  return found == opens.end() ? nullptr : &found->second;
}

}  // namespace

std::mutex& OpenFileTableLock() { return Table().lock; }

bool ShareConflicts(const FileIdentity& file, const OpenFileRecord& wanted) {
  // Opens without read or write access neither claim nor meet any sharing, as on Windows.
  if (!wanted.read && !wanted.write) return false;
  const auto* opens = OpensOf(file);
  if (opens == nullptr) return false;
  for (const TicketedRecord& existing : *opens) {
    const OpenFileRecord& other = existing.record;
    if (!other.read && !other.write) continue;
    if (wanted.read && (other.share & kShareRead) == 0) return true;
    if (wanted.write && (other.share & kShareWrite) == 0) return true;
    if (other.read && (wanted.share & kShareRead) == 0) return true;
    if (other.write && (wanted.share & kShareWrite) == 0) return true;
  }
  return false;
}

bool IsOpenForData(const FileIdentity& file) {
  const auto* opens = OpensOf(file);
  if (opens == nullptr) return false;
  for (const TicketedRecord& existing : *opens) {
    if (existing.record.read || existing.record.write) return true;
  }
  return false;
}

bool IsOpen(const FileIdentity& file) {
  const auto* opens = OpensOf(file);
  return opens != nullptr && !opens->empty();
}

uint64_t AddOpen(const FileIdentity& file, const OpenFileRecord& record) {
  OpenFileTable& table = Table();
  const uint64_t ticket = table.nextTicket++;
  table.opens[KeyOf(file)].push_back({ticket, record});
  return ticket;
}

void RemoveOpen(const FileIdentity& file, uint64_t ticket) {
  auto& opens = Table().opens;
  const auto found = opens.find(KeyOf(file));
  if (found == opens.end()) return;
  auto& records = found->second;
  for (auto it = records.begin(); it != records.end(); ++it) {
    if (it->ticket == ticket) {
      records.erase(it);
      break;
    }
  }
  if (records.empty()) opens.erase(found);
}

}  // namespace platform::posix
