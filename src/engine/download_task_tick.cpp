// The task's one-second tick: the no-source watch, speed sampling, the slow-speed CDN rule,
// handing blocks to idle sources, and the progress report.
#include <algorithm>
#include <limits>

#include "engine/download_task.h"
#include "engine/engine_limits.h"
#include "logger/log.h"
#include "platform/clock.h"
#include "util/common_utils.h"
#include "util/format.h"

bool CDownloadTask::OnTimer() { return OnTimer(platform::TickCount()); }

bool CDownloadTask::OnTimer(uint32_t now) {
  if (!noSourceWatch_ && peers_.empty()) {
    noSourceWatch_ = true;
    noSourceTick_ = now;
  } else if (noSourceWatch_ && !peers_.empty()) {
    noSourceWatch_ = false;
  }
  if (noSourceWatch_ && static_cast<uint32_t>(now - noSourceTick_) > CurrentEngineLimits().noSourceLimitMs) return false;

  const uint64_t downloaded = GetDownloadedSize();
  uint64_t speed = 0;
  for (auto& peer : peers_) speed += peer->sampler.Sample(now);

  if (!cdnSwitched_ && !cdnHost_.empty()) {
    const uint64_t httpSpeed = HttpSpeed();
    // A negative threshold is beaten by any speed.
    if (cdnMinSpeed_ < 0 || httpSpeed > static_cast<uint64_t>(cdnMinSpeed_)) lastFastTick_ = now;
    if (static_cast<uint32_t>(now - lastFastTick_) > CurrentEngineLimits().cdnSlowWindowMs) {
      SwitchToCdn(FormatW(L"任务进度%d%%,已下载%s,下载速度为%s/秒低于阈值%s/秒，切换为第三方cdn下载源：%s",
                          ProgressPercent(downloaded),
                          CommonUtils::FormatSize(static_cast<int64_t>(downloaded), true),
                          CommonUtils::FormatSize(static_cast<int64_t>(httpSpeed), true),
                          CommonUtils::FormatSize(cdnMinSpeed_, true), cdnHost_));
    }
  }

  if (downloaded < expectedSize_ && FindIdlePeer() != nullptr) {
    LOG_INFO(L"%s 任务未完成，但还有空闲peer，开始调度下载", url_);
    DownloadNextEmptyBlock();
  }
  LOG_INFO(L"%s 任务下载 speed:%d completed:%lld/%lld peer_count:%d", url_,
           static_cast<int32_t>(std::min<uint64_t>(speed, std::numeric_limits<int32_t>::max())), downloaded,
           expectedSize_, static_cast<int32_t>(peers_.size()));
  if (onProgress_) {
    onProgress_(userData_, expectedSize_, downloaded,
                static_cast<uint32_t>(std::min<uint64_t>(speed, std::numeric_limits<uint32_t>::max())));
  }
  return true;
}
