#pragma once
// The running download tasks: it owns them, routes the sources' events to the task that holds the
// source, and ticks every task once a second. One process-wide instance (GetInstance); tests make
// their own. UI thread only.
#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "engine/download_callbacks.h"
#include "engine/download_task.h"
#include "engine/event_hub.h"
#include "engine/peer_factory.h"
#include "engine/statistics_sink.h"
#include "engine/task_report_list.h"
#include "thread/singleton.h"

class CDownloadTaskQueue : public DAEventListener, public CSingleton<CDownloadTaskQueue> {
 public:
  CDownloadTaskQueue();
  ~CDownloadTaskQueue() override;

  // How new tasks build their sources.
  void SetPeerFactory(PeerFactory factory) { peerFactory_ = std::move(factory); }
  // Where finished tasks' statistics go; null drops them. Applies to tasks already listed too.
  void SetStatisticsSink(IStatisticsSink* sink) { relay_.target = sink; }

  // Creates, lists and starts a task. False when a task for the same final path is listed (the
  // new one is destroyed unstarted) or when the task ended with a failure at once.
  bool AddDownloadFile(const DownloadTaskSettings& settings, uintptr_t userData,
                       DownloadProgressCallback onProgress, DownloadCompleteCallback onComplete);
  // Stops and destroys the task, keeping its files for a later resume; no callback, no report.
  void CancelDownloadFile(const std::wstring& fullPath);

  // Ticks the tasks in order; the first that has been without sources too long fails with 809
  // and the rest wait for the next tick.
  void OnTimer();
  void OnTimer(uint32_t now);

  void OnEvent(int32_t type, int32_t a, int32_t b, const ProtoValue& value) override;

  CDownloadTask* FindTaskByPath(const std::wstring& fullPath) const;
  CDownloadTask* FindTaskByKey(const std::wstring& key) const;
  // The task that holds the peer whose address is `peerId`.
  CDownloadTask* FindTaskByPeer(int64_t peerId, CDownloadPeer** peer) const;
  // Lists the task and returns it; null (and the task destroyed) when its path is already listed.
  CDownloadTask* AddTask(std::unique_ptr<CDownloadTask> task);

  void AddReport(TaskLog* log) { reports_.Add(log); }
  void RemoveReport(TaskLog* log) { reports_.Remove(log); }
  const TaskReportList& Reports() const { return reports_; }
  size_t TaskCount() const { return tasks_.size(); }

 private:
  // Hands reports to whatever sink is set at the time the report is made.
  struct StatisticsRelay : IStatisticsSink {
    void Report(const ProtoValue& stats) override {
      if (target != nullptr) target->Report(stats);
    }
    IStatisticsSink* target = nullptr;
  };

  DownloadTaskEnvironment MakeEnvironment();
  void RemoveTask(CDownloadTask* task);
  bool IsListed(const CDownloadTask* task) const;

  PeerFactory peerFactory_;
  StatisticsRelay relay_;
  TaskReportList reports_;
  std::list<std::unique_ptr<CDownloadTask>> tasks_;
};
