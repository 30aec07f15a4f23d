// The task's life: construction, start, stop, pause note, completion and the statistics facts.
#include <algorithm>
#include <utility>

#include "commonlib/core/error_pair.h"
#include "engine/download_task.h"
#include "logger/log.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "util/common_utils.h"
#include "util/format.h"
#include "util/proto_value_json_convertor.h"
#include "util/text_convert.h"
#include "util/text_edit.h"

namespace {

constexpr wchar_t kCategoryState[] = L"任务状态";

// Splits at the last path separator; a path without one is all file name.
std::pair<std::wstring, std::wstring> SplitPath(const std::wstring& path) {
  const size_t separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return {std::wstring(), path};
  return {path.substr(0, separator), path.substr(separator + 1)};
}

std::wstring FileNameOf(const std::wstring& path) { return SplitPath(path).second; }

DownloadTaskSettings SizeOnly(uint64_t expectedSize) {
  DownloadTaskSettings settings;
  settings.expectedSize = expectedSize;
  return settings;
}

}  // namespace

CDownloadTask::CDownloadTask(const DownloadTaskSettings& settings, DownloadTaskEnvironment environment)
    : environment_(std::move(environment)),
      url_(settings.url),
      cdnHost_(settings.cdnHost),
      cdnMinSpeed_(settings.cdnMinSpeed),
      options_(settings.options),
      expectedSize_(settings.expectedSize),
      taskLog_(new TaskLog(this, environment_.statisticsSink, environment_.reportList)) {
  if (!options_.empty()) {
    ProtoValue options;
    // Only an object can carry the record's members; anything else would break the record.
    if (ProtoValueJsonConvertor::FromJson(Utf8ToWide(options_), options) &&
        options.type() == ProtoValueType::Map) {
      taskLog_->Stats() = std::move(options);
    } else {
      LOG_ERRO(L"CDownloadTask options 不是JSON对象 %s", settings.fullPath);
    }
    taskLog_->Stats()[L"file_name"] = FileNameOf(settings.fullPath);
  }
  LOG_INFO(L"CDownloadTask::CDownloadTask full_name:%s", settings.fullPath);
  if (!settings.ipList.empty()) {
    for (std::wstring& ip : SplitW(settings.ipList, L";")) {
      TrimW(ip);
      // "a;;b" or a trailing ";" must not become a source pinned to nothing.
      if (!ip.empty()) ipList_.push_back(std::move(ip));
    }
    std::sort(ipList_.begin(), ipList_.end());
  }
  const auto [directory, fileName] = SplitPath(settings.fullPath);
  directory_ = directory;
  fileName_ = fileName;
  md5_ = settings.md5;
  runStartTick_ = platform::TickCount();
  if (environment_.reportList != nullptr) environment_.reportList->Add(taskLog_);
}

CDownloadTask::CDownloadTask(uint64_t expectedSize)
    : CDownloadTask(SizeOnly(expectedSize), DownloadTaskEnvironment{}) {}

CDownloadTask::~CDownloadTask() {
  ResetSources();
  // The log may outlive the task in the report list; it must not ask a task that is gone.
  taskLog_->DetachOwner();
}

void CDownloadTask::SetCallbacks(uintptr_t userData, DownloadProgressCallback onProgress,
                                 DownloadCompleteCallback onComplete) {
  userData_ = userData;
  onProgress_ = std::move(onProgress);
  onComplete_ = std::move(onComplete);
}

bool CDownloadTask::StartTask() {
  if (state_ == 1) {
    LOG_ERRO(L"StartTask error 状态错误 %s", GetFullPath());
    return false;
  }
  state_ = 1;
  lastFastTick_ = runStartTick_ = platform::TickCount();
  ResetSources();
  // Nothing could ever complete a file of no bytes: fail now instead of running without end.
  if (expectedSize_ == 0) {
    LOG_ERRO(L"预期大小为0，无法下载 %s", GetFullPath());
    OnTaskCompleted(user_error::kNoExpectedSize);
    return false;
  }
  const bool loaded = LoadMeta();
  taskLog_->RecordEvent(kCategoryState, FormatW(L"开始下载:%s", url_));
  const bool fresh = !loaded || !platform::PathExists(GetDataFilePath());
  if (fresh) {
    platform::FileInfo info;
    if (platform::GetFileInfo(GetFullPath(), &info) && !info.isDirectory && info.size == expectedSize_) {
      taskLog_->SetSkipReport(true);
      LOG_ERRO(L"最终文件大小等于预期大小，认为已经完成 %s %lld", GetFullPath(), expectedSize_);
      OnTaskCompleted(0);
      return true;
    }
    if (!CreateEmptyFile()) {
      LOG_ERRO(L"创建空文件失败 %s %lld", GetDataFilePath(), expectedSize_);
      OnTaskCompleted(user_error::kDataFileNotCreatable);
      return false;
    }
    gaps_.Clear();
    gaps_.AddRange(0, expectedSize_ - 1);
  }
  if (!gaps_.IsEmptyUpTo(expectedSize_ - 1)) {
    AddInitialSources();
    return true;
  }
  LOG_INFO(L"任务完成，无需开始下载 %s", GetFullPath());
  OnTaskCompleted(0);
  return true;
}

bool CDownloadTask::StopTask() {
  if (state_ == 0) {
    LOG_ERRO(L"StopTask error 状态错误 %s", GetFullPath());
    return false;
  }
  state_ = 0;
  for (auto& peer : peers_) {
    if (peer->IsHttpPeer()) taskLog_->AddSourceTime(peer->GetSourceName(), peer->firstRequestTick);
  }
  SaveMeta();
  ResetSources();
  return true;
}

void CDownloadTask::NotePause() {
  const uint64_t downloaded = GetDownloadedSize();
  taskLog_->RecordEvent(kCategoryState,
                        FormatW(L"暂停下载,%d%%,已下载%s,下载速度为%s/秒", ProgressPercent(downloaded),
                                CommonUtils::FormatSize(static_cast<int64_t>(downloaded), true),
                                CommonUtils::FormatSize(static_cast<int64_t>(HttpSpeed()), true)));
}

void CDownloadTask::OnTaskCompleted(int32_t code) {
  taskLog_->RecordEvent(kCategoryState, FormatW(L"下载完成 code:%d", code));
  status_ = code == 0 ? 1 : 2;
  StopTask();
  taskLog_->SetReportReady(true);
  taskLog_->BuildReport();
  const int32_t errorType = code == 0 ? static_cast<int32_t>(MoveDataFileToFinalPath()) : error_type::kUser;
  if (onComplete_) onComplete_(userData_, errorType, code);
  LOG_INFO(L"task:%s OnTaskCompleted:et %d,ec,%d", GetFullPath(), errorType, code);
  // Last: this destroys the task.
  if (environment_.removeFinished) environment_.removeFinished(this);
}

TaskStatisticsFacts CDownloadTask::GetStatisticsFacts() const {
  TaskStatisticsFacts facts;
  facts.expectedSize = expectedSize_;
  facts.downloadMs =
      static_cast<int64_t>(elapsedMs_ + static_cast<uint32_t>(platform::TickCount() - runStartTick_));
  facts.status = status_;
  facts.usedCdn = usedCdn_;
  facts.savedMeta = meta_.root;
  return facts;
}

int32_t CDownloadTask::ProgressPercent(uint64_t downloaded) const {
  if (expectedSize_ == 0) return 0;
  return static_cast<int32_t>(static_cast<double>(downloaded) * 100.0 / static_cast<double>(expectedSize_));
}

uint64_t CDownloadTask::HttpSpeed() const {
  uint64_t speed = 0;
  for (const auto& peer : peers_) {
    if (peer->IsHttpPeer()) speed += peer->sampler.avgSpeed;
  }
  return speed;
}

void CDownloadTask::RecordLoggedEvent(const std::wstring& category, const std::wstring& text) {
  taskLog_->RecordEvent(category, text);
  LOG_INFO(L"%s", taskLog_->Events().back());
}
