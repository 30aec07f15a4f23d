#pragma once
// A download task's event history, bytes and time per source, and its statistics record, which is
// handed to the statistics sink when the task has finished. UI thread only.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "commonlib/core/proto_value.h"
#include "commonlib/core/utf16_order.h"
#include "engine/download_peer.h"
#include "engine/statistics_sink.h"
#include "engine/task_report_list.h"
#include "engine/task_statistics_source.h"
#include "thread/ref_counted.h"

struct NetAnalysis {
  int64_t time = 0;  // seconds since 1970
  std::wstring domain;
  std::wstring ping;
  std::wstring traceroot;
  std::wstring nslookup;
};

class TaskLog : public CRefThreadSafeBase<TaskLog> {
 public:
  using Counters = std::map<std::wstring, int64_t, Utf16Less>;

  // `owner` answers FillStatistics until the report is built; `sink` takes the report and
  // `reportList` holds the log until then. Any of them may be null.
  TaskLog(const ITaskStatisticsSource* owner, IStatisticsSink* sink, TaskReportList* reportList);
  virtual ~TaskLog() = default;
  TaskLog(const TaskLog&) = delete;
  TaskLog& operator=(const TaskLog&) = delete;

  // Appends "[time] [category] text" with the local time now.
  void RecordEvent(const std::wstring& category, const std::wstring& text);
  // Counts bytes for an HTTP peer's source; peer-to-peer sources and nameless ones get nothing.
  void AddSourceBytes(CDownloadPeer& peer, int64_t count);
  void AddSourceBytes(const std::wstring& sourceName, int64_t count);
  // Adds the time since `firstRequestTick` (when not 0) to the source and moves the tick to now,
  // so the same span is never counted twice.
  void AddSourceTime(const std::wstring& sourceName, uint32_t& firstRequestTick);
  void AddNetAnalysis(const NetAnalysis& analysis) { netAnalyses_.push_back(analysis); }

  void FillStatistics();
  void BuildReport();
  void ReleaseReport();

  void SaveLog(ProtoValue& root) const;
  void LoadLog(const ProtoValue& root);

  // The task is going away before its report was built: stop asking it.
  void DetachOwner() { owner_ = nullptr; }
  void SetSkipReport(bool skip) { skipReport_ = skip; }
  void SetReportReady(bool ready) { reportReady_ = ready; }

  ProtoValue& Stats() { return stats_; }
  const ProtoValue& Stats() const { return stats_; }
  const std::vector<std::wstring>& Events() const { return events_; }
  const std::vector<NetAnalysis>& NetAnalyses() const { return netAnalyses_; }
  const Counters& BytesBySource() const { return bytesBySource_; }
  const Counters& TimeBySource() const { return timeBySource_; }

 private:
  std::vector<std::wstring> events_;
  std::vector<NetAnalysis> netAnalyses_;
  Counters bytesBySource_;
  Counters timeBySource_;
  bool skipReport_ = false;
  bool reportReady_ = false;
  ProtoValue stats_;
  const ITaskStatisticsSource* owner_;
  IStatisticsSink* sink_;
  TaskReportList* reportList_;
};
