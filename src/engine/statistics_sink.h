#pragma once
// Where a finished task's statistics record goes (the signed upload).
#include "commonlib/core/proto_value.h"

class IStatisticsSink {
 public:
  virtual ~IStatisticsSink() = default;
  virtual void Report(const ProtoValue& stats) = 0;
};
