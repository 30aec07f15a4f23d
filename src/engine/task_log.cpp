#include "engine/task_log.h"

#include <algorithm>
#include <limits>

#include "engine/byte_range.h"
#include "platform/clock.h"
#include "util/common_utils.h"
#include "util/format.h"

namespace {

bool IsInteger(const ProtoValue& value) { return value.type() == ProtoValueType::Integer; }
bool IsString(const ProtoValue& value) { return value.type() == ProtoValueType::String; }

std::wstring StringOrEmpty(const ProtoValue& value) {
  return IsString(value) ? value.string() : std::wstring();
}

// "fs" minus the bytes the saved gap list still misses below "fs".
int64_t DownloadedSizeFromMeta(const ProtoValue& meta) {
  const ProtoValue& fs = meta.get(L"fs");
  if (!IsInteger(fs) || fs.integer() <= 0) return 0;
  const uint64_t size = static_cast<uint64_t>(fs.integer());
  const ProtoValue& gl = meta.get(L"gl");
  if (gl.type() != ProtoValueType::Array) return fs.integer();
  // Rebuilt through AddRange so that overlapping entries of a damaged record count once.
  RangeList gaps;
  for (const ProtoValue& range : gl.array()) {
    if (range.type() != ProtoValueType::Map) continue;
    const ProtoValue& start = range.get(L"start");
    const ProtoValue& end = range.get(L"end");
    if (!IsInteger(start) || !IsInteger(end) || start.integer() < 0 || end.integer() < 0) continue;
    gaps.AddRange(static_cast<uint64_t>(start.integer()), static_cast<uint64_t>(end.integer()));
  }
  const uint64_t missing = std::min(gaps.CountUpTo(size - 1), size);
  return static_cast<int64_t>(size - missing);
}

// bytes × 1000 ÷ ms without overflowing the product.
int64_t BytesPerSecond(int64_t bytes, int64_t ms) {
  if (ms <= 0 || bytes <= 0) return 0;
  return bytes / ms * 1000 + bytes % ms * 1000 / ms;
}

void LoadCounters(const ProtoValue& source, TaskLog::Counters& counters) {
  if (source.type() != ProtoValueType::Map) return;
  for (const auto& [name, value] : source.map()) {
    if (IsInteger(value)) counters[name] = value.integer();
  }
}

ProtoValue CountersToValue(const TaskLog::Counters& counters) {
  ProtoValue map(ProtoValueType::Map);
  for (const auto& [name, value] : counters) map[name] = value;
  return map;
}

}  // namespace

TaskLog::TaskLog(const ITaskStatisticsSource* owner, IStatisticsSink* sink,
                 TaskReportList* reportList)
    : owner_(owner), sink_(sink), reportList_(reportList) {}

void TaskLog::RecordEvent(const std::wstring& category, const std::wstring& text) {
  const platform::LocalDateTime now = platform::LocalTimeNow();
  const std::wstring time = FormatW(L"%d-%02d-%02d %02d:%02d:%02d", now.year, now.month, now.day,
                                    now.hour, now.minute, now.second);
  events_.push_back(FormatW(L"[%s] [%s] %s", time, category, text));
}

void TaskLog::AddSourceBytes(CDownloadPeer& peer, int64_t count) {
  if (peer.IsP2P()) return;
  AddSourceBytes(peer.GetSourceName(), count);
}

void TaskLog::AddSourceBytes(const std::wstring& sourceName, int64_t count) {
  if (sourceName.empty()) return;
  bytesBySource_[sourceName] += count;
}

void TaskLog::AddSourceTime(const std::wstring& sourceName, uint32_t& firstRequestTick) {
  if (sourceName.empty()) return;
  int64_t& total = timeBySource_[sourceName];
  if (firstRequestTick == 0) return;
  const uint32_t now = platform::TickCount();
  total += static_cast<uint32_t>(now - firstRequestTick);
  firstRequestTick = now;
}

void TaskLog::FillStatistics() {
  if (owner_ == nullptr) return;
  const TaskStatisticsFacts facts = owner_->GetStatisticsFacts();
  const int64_t downloadSize = DownloadedSizeFromMeta(facts.savedMeta);
  const int64_t ms = std::max<int64_t>(facts.downloadMs, 0);
  stats_[L"size"] = static_cast<int64_t>(facts.expectedSize);
  stats_[L"download_size"] = downloadSize;
  stats_[L"time_comsuming"] = std::max<int64_t>(ms / 1000, 1);
  stats_[L"avg_speed"] = BytesPerSecond(downloadSize, ms);
  stats_[L"status"] = static_cast<int64_t>(facts.status);
  stats_[L"is_cdn"] = static_cast<int64_t>(facts.usedCdn ? 1 : 0);
}

void TaskLog::BuildReport() {
  if (!reportReady_) return;
  if (owner_ != nullptr) {
    FillStatistics();
    owner_ = nullptr;
  }

  ProtoValue speeds(ProtoValueType::Array);
  for (const auto& [name, bytes] : bytesBySource_) {
    const auto time = timeBySource_.find(name);
    if (time == timeBySource_.end()) continue;
    const int64_t ms = time->second;
    speeds.append(FormatW(L"源:%s,下载速度%s/秒，耗时%d秒", name,
                          CommonUtils::FormatSize(BytesPerSecond(bytes, ms), true),
                          static_cast<int32_t>(ms / 1000)));
  }
  ProtoValue lines(ProtoValueType::Array);
  for (const std::wstring& event : events_) lines.append(event);
  ProtoValue analyses(ProtoValueType::Array);
  for (const NetAnalysis& entry : netAnalyses_) {
    analyses.append(FormatW(L"[%s]对%s网络分析：", CommonUtils::FormatTime(entry.time), entry.domain));
    analyses.append(FormatW(L"Ping:%s", entry.ping));
    analyses.append(FormatW(L"TraceRoute:%s", entry.traceroot));
    if (!entry.nslookup.empty()) analyses.append(FormatW(L"Nslookup:%s", entry.nslookup));
  }

  ProtoValue& log = stats_[L"log"];
  log = ProtoValue(ProtoValueType::Array);
  log.append(ProtoValue(ProtoValueType::Map));
  log[0][L"下载源速度分析"] = std::move(speeds);
  log.append(ProtoValue(ProtoValueType::Map));
  log[1][L"下载日志"] = std::move(lines);
  log.append(ProtoValue(ProtoValueType::Map));
  log[2][L"网络分析"] = std::move(analyses);

  ReleaseReport();
}

void TaskLog::ReleaseReport() {
  if (!skipReport_ && sink_ != nullptr) sink_->Report(stats_);
  // Leaving the list may drop the last reference but one: keep this object alive until the end.
  CRefPtr<TaskLog> self(this);
  if (reportList_ != nullptr) reportList_->Remove(this);
}

void TaskLog::SaveLog(ProtoValue& root) const {
  ProtoValue& log = root[L"log"];
  log = ProtoValue(ProtoValueType::Map);
  if (!events_.empty()) {
    ProtoValue& lines = log[L"tl"];
    lines = ProtoValue(ProtoValueType::Array);
    for (const std::wstring& event : events_) lines.append(event);
  }
  if (!netAnalyses_.empty()) {
    ProtoValue& entries = log[L"nt"];
    entries = ProtoValue(ProtoValueType::Array);
    for (const NetAnalysis& analysis : netAnalyses_) {
      ProtoValue entry(ProtoValueType::Map);
      entry[L"time"] = analysis.time;
      entry[L"domain"] = analysis.domain;
      entry[L"ping"] = analysis.ping;
      entry[L"traceroot"] = analysis.traceroot;
      entry[L"nslookup"] = analysis.nslookup;
      entries.append(std::move(entry));
    }
  }
  if (!bytesBySource_.empty()) log[L"ws"] = CountersToValue(bytesBySource_);
  if (!timeBySource_.empty()) log[L"it"] = CountersToValue(timeBySource_);
}

void TaskLog::LoadLog(const ProtoValue& root) {
  if (root.type() != ProtoValueType::Map || !root.has(L"log")) return;
  const ProtoValue& log = root.get(L"log");
  if (log.type() != ProtoValueType::Map) return;  // null too: nothing to read
  // A damaged record loses only its damaged members.
  const ProtoValue& lines = log.get(L"tl");
  if (lines.type() == ProtoValueType::Array) {
    for (const ProtoValue& line : lines.array()) {
      if (IsString(line)) events_.push_back(line.string());
    }
  }
  const ProtoValue& entries = log.get(L"nt");
  if (entries.type() == ProtoValueType::Array) {
    for (const ProtoValue& entry : entries.array()) {
      if (entry.type() != ProtoValueType::Map) continue;
      NetAnalysis analysis;
      const ProtoValue& time = entry.get(L"time");
      analysis.time = IsInteger(time) ? time.integer() : 0;
      analysis.domain = StringOrEmpty(entry.get(L"domain"));
      analysis.ping = StringOrEmpty(entry.get(L"ping"));
      analysis.traceroot = StringOrEmpty(entry.get(L"traceroot"));
      analysis.nslookup = StringOrEmpty(entry.get(L"nslookup"));
      netAnalyses_.push_back(std::move(analysis));
    }
  }
  LoadCounters(log.get(L"ws"), bytesBySource_);
  LoadCounters(log.get(L"it"), timeBySource_);
}
