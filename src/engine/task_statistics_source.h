#pragma once
// What the task log needs to know about its task to fill in the statistics record.
#include <cstdint>

#include "commonlib/core/proto_value.h"

struct TaskStatisticsFacts {
  uint64_t expectedSize = 0;
  int64_t downloadMs = 0;  // over every run of the task, this one included
  int32_t status = 0;      // 1 succeeded, 2 failed
  bool usedCdn = false;
  ProtoValue savedMeta;  // the meta record last written for the task
};

class ITaskStatisticsSource {
 public:
  virtual ~ITaskStatisticsSource() = default;
  virtual TaskStatisticsFacts GetStatisticsFacts() const = 0;
};
