#pragma once
// Task logs whose report has not been handed over yet; each entry holds one reference.
#include <vector>

#include "thread/ref_counted.h"

class TaskLog;

class TaskReportList {
 public:
  void Add(TaskLog* log);
  // Drops the list's reference to `log`; false when it is not listed.
  bool Remove(TaskLog* log);
  size_t Size() const { return logs_.size(); }
  bool Contains(const TaskLog* log) const;

 private:
  std::vector<CRefPtr<TaskLog>> logs_;
};
