#pragma once
// What a download task needs from the engine around it.
#include <functional>

#include "engine/peer_factory.h"
#include "engine/statistics_sink.h"
#include "engine/task_report_list.h"

class CDownloadTask;

struct DownloadTaskEnvironment {
  PeerFactory peerFactory;  // without one the task gets no sources
  IStatisticsSink* statisticsSink = nullptr;
  // Holds the task's log until its report is handed over.
  TaskReportList* reportList = nullptr;
  // Takes a finished task out of the list that owns it and destroys it. A task nobody lists
  // (none given) stays with whoever made it.
  std::function<void(CDownloadTask*)> removeFinished;
};
