#include "fetch/progress_line.h"

#include "util/common_utils.h"
#include "util/format.h"

std::wstring FormatProgressLine(uint64_t total, uint64_t completed, uint32_t bytesPerSecond) {
  const double percent = total == 0 ? 0.0 : static_cast<double>(completed) * 100.0 / static_cast<double>(total);
  return FormatW(L"%5.1f%%  %s / %s  %s/s", percent, CommonUtils::FormatSize(static_cast<int64_t>(completed), true),
                 CommonUtils::FormatSize(static_cast<int64_t>(total), true),
                 CommonUtils::FormatSize(static_cast<int64_t>(bytesPerSecond), true));
}
