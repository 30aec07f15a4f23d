#include "engine/task_report_list.h"

#include <algorithm>

#include "engine/task_log.h"

void TaskReportList::Add(TaskLog* log) {
  if (log != nullptr) logs_.emplace_back(log);
}

bool TaskReportList::Remove(TaskLog* log) {
  auto it = std::find_if(logs_.begin(), logs_.end(),
                         [log](const CRefPtr<TaskLog>& entry) { return entry.Get() == log; });
  if (it == logs_.end()) return false;
  logs_.erase(it);
  return true;
}

bool TaskReportList::Contains(const TaskLog* log) const {
  return std::any_of(logs_.begin(), logs_.end(),
                     [log](const CRefPtr<TaskLog>& entry) { return entry.Get() == log; });
}
