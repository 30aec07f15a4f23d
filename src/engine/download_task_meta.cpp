// The task's resumable state: building the meta record and restoring the task from it.
#include <algorithm>
#include <cwctype>
#include <optional>

#include "commonlib/core/proto_value_exception.h"
#include "engine/download_task.h"
#include "logger/log.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "util/common_utils.h"

namespace {

// Seconds since 1970 of the file's last write; 0 when it cannot be read (the value is only
// logged, and the task ends or stops right after in that case).
int64_t LastWriteTime(const std::wstring& path) {
  platform::FileInfo info;
  if (!platform::GetFileInfo(path, &info)) return 0;
  return CommonUtils::FileTimeToUnixTime(info.lastWriteTime);
}

bool SameHashText(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return true;
}

// The saved gaps, or nothing when the list is damaged. A negative offset cannot come from a
// record this system wrote; an end past the file is cut at the last byte.
std::optional<RangeList> ReadGaps(const ProtoValue& list, uint64_t expectedSize) {
  RangeList gaps;
  if (list.isNull()) return gaps;
  if (list.type() != ProtoValueType::Array) return std::nullopt;
  for (const ProtoValue& element : list.array()) {
    if (element.type() != ProtoValueType::Map) return std::nullopt;
    const int64_t start = element.get(L"start").integer();
    const int64_t end = element.get(L"end").integer();
    if (start < 0 || end < 0) return std::nullopt;
    if (expectedSize == 0) continue;
    const uint64_t last = expectedSize - 1;
    if (static_cast<uint64_t>(start) > last) continue;
    gaps.AddRange(static_cast<uint64_t>(start), std::min(static_cast<uint64_t>(end), last));
  }
  return gaps;
}

}  // namespace

void CDownloadTask::SaveMeta() {
  ProtoValue& root = meta_.root;
  root.clear();
  root[L"ft"] = LastWriteTime(GetDataFilePath());
  root[L"fs"] = expectedSize_;
  root[L"fh"] = md5_;
  root[L"ps"] = p2pBytes_;
  const uint32_t runMs = platform::TickCount() - runStartTick_;
  root[L"ct"] = elapsedMs_ + runMs;
  root[L"is_cdn"] = usedCdn_ ? 1 : 0;
  taskLog_->SaveLog(root);
  RangeList missing;
  GetFreeRanges(FreeRangeMode::ReceivedParts, missing);
  for (const ByteRange& range : missing.Ranges()) {
    ProtoValue gap;
    gap[L"start"] = range.start;
    gap[L"end"] = range.end;
    root[L"gl"].append(std::move(gap));
  }
  meta_.path = GetMetaFilePath();
  meta_.Save();
}

bool CDownloadTask::LoadMeta() {
  gaps_.Clear();
  if (!meta_.LoadFile(GetMetaFilePath())) {
    LOG_INFO(L"无任务断点信息 %s", GetDataFilePath());
    return false;
  }
  const ProtoValue& root = meta_.root;
  const int64_t fileTime = LastWriteTime(GetDataFilePath());
  try {
    const int64_t savedTime = root.get(L"ft").integer();
    const int64_t savedSize = root.get(L"fs").integer();
    const std::wstring savedHash = root.get(L"fh").string();
    const int64_t p2pBytes = root.get(L"ps").integer();
    const int64_t elapsedMs = root.get(L"ct").integer();
    const bool usedCdn = root.get(L"is_cdn").integer() != 0;
    LOG_INFO(L"read_ft:%lld save_ft:%lld size:%lld save_size:%lld hash:%s save_hash:%s", fileTime,
             savedTime, expectedSize_, savedSize, md5_, savedHash);
    // Bytes kept for another file would end up in this one.
    if (savedSize < 0 || static_cast<uint64_t>(savedSize) != expectedSize_ ||
        !SameHashText(savedHash, md5_)) {
      LOG_INFO(L"任务断点信息不属于此文件 %s", GetDataFilePath());
      meta_.root.clear();
      return false;
    }
    std::optional<RangeList> gaps = ReadGaps(root.get(L"gl"), expectedSize_);
    if (!gaps) throw ProtoValueException(3, L"gap list");
    // Last: the log skips damaged members of its own and never throws.
    taskLog_->LoadLog(root);
    gaps_.CopyFrom(*gaps);
    p2pBytes_ = p2pBytes > 0 ? static_cast<uint64_t>(p2pBytes) : 0;
    elapsedMs_ = elapsedMs > 0 ? static_cast<uint64_t>(elapsedMs) : 0;
    usedCdn_ = usedCdn;
  } catch (const ProtoValueException& e) {
    LOG_ERRO(L"任务断点信息已损坏 %s %d", GetDataFilePath(), e.code);
    meta_.root.clear();
    return false;
  }
  return true;
}
