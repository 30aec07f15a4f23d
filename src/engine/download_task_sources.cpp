// The task's sources: the ones it starts with, the CDN it may add, and what their results and
// notes do to the task.
#include <cstdlib>
#include <ctime>
#include <limits>
#include <utility>

#include "engine/download_task.h"
#include "logger/log.h"
#include "util/common_utils.h"
#include "util/format.h"
#include "util/text_edit.h"

namespace {

constexpr wchar_t kCategoryChosen[] = L"选取源";
constexpr wchar_t kCategoryResolved[] = L"源解析";
constexpr wchar_t kCategoryRetry[] = L"源重试";
constexpr wchar_t kCategoryFailed[] = L"源失败";
constexpr wchar_t kCategoryRedirected[] = L"源重定向";

uint16_t PortOf(const std::wstring& url) {
  const int port = CommonUtils::GetPortFromUrl(url);
  return port > 0 && port <= std::numeric_limits<uint16_t>::max() ? static_cast<uint16_t>(port) : 0;
}

}  // namespace

std::unique_ptr<CDownloadPeer> CDownloadTask::MakePeer(const std::wstring& url, bool pinned,
                                                       const std::wstring& ip, bool isCdn) const {
  if (!environment_.peerFactory) {
    LOG_ERRO(L"没有下载源工厂 url:%s", url);
    return nullptr;
  }
  PeerSettings peerSettings;
  peerSettings.url = url;
  peerSettings.dataPath = GetDataFilePath();
  peerSettings.key = md5_;
  peerSettings.pinned = pinned;
  peerSettings.verifyHost = true;
  peerSettings.isCdn = isCdn;
  peerSettings.host = CommonUtils::GetHostFromUrl(url);
  peerSettings.ip = ip;
  peerSettings.port = PortOf(url);
  std::unique_ptr<CDownloadPeer> peer = environment_.peerFactory(peerSettings);
  if (!peer) LOG_ERRO(L"创建下载源失败 url:%s ip:%s", url, ip);
  return peer;
}

void CDownloadTask::AddInitialSources() {
  if (auto peer = MakePeer(url_, false, std::wstring(), false)) {
    AddPeer(std::move(peer));
    taskLog_->RecordEvent(kCategoryChosen, FormatW(L"选取域名源：%s", CommonUtils::GetHostFromUrl(url_)));
  }
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  std::vector<std::wstring> candidates = ipList_;
  for (size_t i = 1; i < kMaxSources && !candidates.empty(); ++i) {
    const size_t index = static_cast<size_t>(std::rand()) % candidates.size();
    const std::wstring ip = candidates[index];
    candidates.erase(candidates.begin() + static_cast<std::ptrdiff_t>(index));
    auto peer = MakePeer(url_, true, ip, false);
    if (!peer) continue;
    taskLog_->RecordEvent(kCategoryChosen, FormatW(L"选取IP源：%s", ip));
    LOG_INFO(L"添加ip peer url:%s ip:%s", url_, ip);
    AddPeer(std::move(peer));
  }
}

bool CDownloadTask::AddPeer(std::unique_ptr<CDownloadPeer> peer) {
  if (!peer) return false;
  if (!HasPeer(peer.get())) peers_.push_back(std::move(peer));
  DownloadNextEmptyBlock();
  return true;
}

bool CDownloadTask::HasPeer(const CDownloadPeer* peer) const {
  for (const auto& listed : peers_) {
    if (listed.get() == peer) return true;
  }
  return false;
}

bool CDownloadTask::HasHttpPeer() const {
  for (const auto& peer : peers_) {
    if (!peer->IsP2P()) return true;
  }
  return false;
}

void CDownloadTask::ResetSources() {
  for (auto& peer : peers_) peer->StopRequest();
  // The peers point into the block records: they go first.
  peers_.clear();
  gaps_.Clear();
  blocks_.clear();
}

void CDownloadTask::SwitchToCdn(const std::wstring& text) {
  cdnSwitched_ = true;
  usedCdn_ = true;
  const std::wstring cdnUrl = ReplaceAllW(url_, CommonUtils::GetHostFromUrl(url_), cdnHost_);
  if (auto peer = MakePeer(cdnUrl, false, std::wstring(), true)) AddPeer(std::move(peer));
  RecordLoggedEvent(kCategoryChosen, text);
}

void CDownloadTask::OnRangeCompleted(CDownloadPeer* peer, int32_t errorType, int32_t errorCode) {
  if (!HasPeer(peer)) {
    LOG_INFO(L"peer未找到 0x%x", reinterpret_cast<uintptr_t>(peer));
    return;
  }
  if (peer->block == nullptr) {
    LOG_INFO(L"et:%d ec:%d peer block_未分配而移除", errorType, errorCode);
    peer->StopRequest();
    DropPeer(peer);
    return;
  }
  // The record goes with RemoveRequestBlock: keep what is needed of it.
  const uint64_t start = peer->block->start;
  const uint64_t end = peer->block->end;
  const bool httpPeer = peer->IsHttpPeer();
  const std::wstring description = httpPeer ? FormatW(L"p2p:0 url:%s", peer->GetUrl()) : std::wstring();
  LOG_INFO(L"%s code=%d:%d OnRangeCompleted task %s start:%lld size:%d", description, errorType, errorCode,
           GetFullPath(), start, static_cast<int32_t>(end - start + 1));
  LOG_INFO(L"%s block+gap begin: %s", GetFullPath(), DescribeBlocks());
  if (!RemoveRequestBlock(start, end)) {
    LOG_INFO(L"%s RemoveRequestBlock 失败", GetFullPath());
    peer->block = nullptr;
  }

  if (errorType == 0) {
    gaps_.SubtractRange(start, end);
    const uint64_t length = end - start + 1;
    if (!httpPeer) {
      p2pBytes_ += length;
    } else {
      taskLog_->AddSourceBytes(*peer, static_cast<int64_t>(length));
    }
    SaveMeta();
    if (gaps_.IsEmptyUpTo(expectedSize_ - 1)) {
      LOG_INFO(L"download task completed 正常完成 %s p2p部分/总大小:%lld/%lld", GetFullPath(), p2pBytes_,
               expectedSize_);
      OnTaskCompleted(0);
      return;  // the task is gone
    }
  } else {
    if (!peer->IsP2P() && httpPeer) {
      taskLog_->RecordEvent(kCategoryFailed,
                            FormatW(L"源：%s失败,et:%d,ec:%d", peer->GetSourceName(), errorType, errorCode));
    }
    peer->StopRequest();
    if (httpPeer) taskLog_->AddSourceTime(peer->GetSourceName(), peer->firstRequestTick);
    DropPeer(peer);
    if (!cdnSwitched_ && !cdnHost_.empty() && !HasHttpPeer()) {
      const uint64_t downloaded = GetDownloadedSize();
      SwitchToCdn(FormatW(L"%d%%,已下载%s,下载源全部失败，切换为第三方cdn下载源：%s",
                          ProgressPercent(downloaded),
                          CommonUtils::FormatSize(static_cast<int64_t>(downloaded), true), cdnHost_));
    }
  }
  LOG_INFO(L"%s block+gap end: %s", GetFullPath(), DescribeBlocks());
  DownloadNextEmptyBlock();
}

void CDownloadTask::OnSourceResolved(CDownloadPeer* peer) {
  if (peer == nullptr || !peer->IsHttpPeer()) return;
  const wchar_t* format = peer->IsCdn()          ? L"CDN%s解析ip为：%s"
                          : peer->IsRedirected() ? L"重定向源%s解析ip为：%s"
                                                 : L"域名源%s解析ip为：%s";
  taskLog_->RecordEvent(kCategoryResolved, FormatW(format, peer->GetHost(), peer->GetServerIp()));
}

void CDownloadTask::OnSourceRedirected(const std::wstring& sourceName, const std::wstring& location) {
  RecordLoggedEvent(kCategoryRedirected, FormatW(L"源%s重定向到:%s", sourceName, location));
}

void CDownloadTask::OnSourceRetry(CDownloadPeer* peer, int32_t errorType, int32_t errorCode,
                                  int32_t attempt) {
  if (peer == nullptr || !peer->IsHttpPeer()) return;
  taskLog_->RecordEvent(kCategoryRetry, FormatW(L"下载源%s 第%d次重试 et:%d ec:%d", peer->GetSourceName(),
                                                attempt, errorType, errorCode));
}
