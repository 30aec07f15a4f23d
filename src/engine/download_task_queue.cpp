#include "engine/download_task_queue.h"

#include <vector>

#include "commonlib/core/error_pair.h"
#include "engine/engine_events.h"
#include "logger/log.h"
#include "platform/clock.h"

namespace {

std::wstring StringMember(const ProtoValue& value, const wchar_t* key) {
  const ProtoValue& member = value.get(key);
  return member.type() == ProtoValueType::String ? member.string() : std::wstring();
}

int32_t IntegerMember(const ProtoValue& value, const wchar_t* key) {
  const ProtoValue& member = value.get(key);
  return member.type() == ProtoValueType::Integer ? static_cast<int32_t>(member.integer()) : 0;
}

}  // namespace

CDownloadTaskQueue::CDownloadTaskQueue() = default;

CDownloadTaskQueue::~CDownloadTaskQueue() {
  reports_ = TaskReportList();
  tasks_.clear();
}

DownloadTaskEnvironment CDownloadTaskQueue::MakeEnvironment() {
  DownloadTaskEnvironment environment;
  environment.peerFactory = peerFactory_;
  environment.statisticsSink = &relay_;
  environment.reportList = &reports_;
  environment.removeFinished = [this](CDownloadTask* task) { RemoveTask(task); };
  return environment;
}

bool CDownloadTaskQueue::AddDownloadFile(const DownloadTaskSettings& settings, uintptr_t userData,
                                         DownloadProgressCallback onProgress,
                                         DownloadCompleteCallback onComplete) {
  auto task = std::make_unique<CDownloadTask>(settings, MakeEnvironment());
  task->SetCallbacks(userData, std::move(onProgress), std::move(onComplete));
  CDownloadTask* listed = AddTask(std::move(task));
  if (listed == nullptr) return false;
  return listed->StartTask();
}

CDownloadTask* CDownloadTaskQueue::AddTask(std::unique_ptr<CDownloadTask> task) {
  if (FindTaskByPath(task->GetFullPath()) != nullptr) {
    // Started, it would write the same files as the listed task and never hear of its sources.
    LOG_ERRO(L"下载任务已存在，忽略 %s", task->GetFullPath());
    reports_.Remove(&task->Log());
    return nullptr;
  }
  LOG_ERRO(L"添加下载任务 url:%s", task->Url());
  tasks_.push_back(std::move(task));
  return tasks_.back().get();
}

void CDownloadTaskQueue::CancelDownloadFile(const std::wstring& fullPath) {
  CDownloadTask* task = FindTaskByPath(fullPath);
  if (task == nullptr) {
    LOG_ERRO(L"CancelDownloadFile 未找到对应task %s", fullPath);
    return;
  }
  task->NotePause();
  task->StopTask();
  RemoveTask(task);
}

void CDownloadTaskQueue::OnTimer() { OnTimer(platform::TickCount()); }

void CDownloadTaskQueue::OnTimer(uint32_t now) {
  // A tick may end tasks: walk a copy and skip those already gone.
  std::vector<CDownloadTask*> snapshot;
  for (const auto& task : tasks_) snapshot.push_back(task.get());
  for (CDownloadTask* task : snapshot) {
    if (!IsListed(task)) continue;
    if (!task->OnTimer(now)) {
      LOG_ERRO(L"下载任务，找不到任何源！！url:%s", task->Url());
      task->OnTaskCompleted(user_error::kNoSourceLeft);
      return;
    }
  }
}

void CDownloadTaskQueue::OnEvent(int32_t type, int32_t a, int32_t b, const ProtoValue& value) {
  if (type != engine_event::kRangeDone && type != engine_event::kSourceResolved &&
      type != engine_event::kSourceRedirected && type != engine_event::kSourceRetry) {
    return;
  }
  const ProtoValue& id = value.get(engine_event::kPeer);
  CDownloadPeer* peer = nullptr;
  CDownloadTask* task = id.type() == ProtoValueType::Integer ? FindTaskByPeer(id.integer(), &peer) : nullptr;
  if (task == nullptr) {
    // The source is gone with its task: only what the event itself says can be shown.
    LOG_ERRO(L"未找到对应peer %s", StringMember(value, engine_event::kFullName));
    return;
  }
  switch (type) {
    case engine_event::kRangeDone:
      task->OnRangeCompleted(peer, a, b);
      break;
    case engine_event::kSourceResolved:
      task->OnSourceResolved(peer);
      break;
    case engine_event::kSourceRedirected:
      task->OnSourceRedirected(StringMember(value, engine_event::kLogName),
                               StringMember(value, engine_event::kLocation));
      break;
    case engine_event::kSourceRetry:
      task->OnSourceRetry(peer, IntegerMember(value, engine_event::kErrorType),
                          IntegerMember(value, engine_event::kErrorCode),
                          IntegerMember(value, engine_event::kTimes));
      break;
    default:
      break;
  }
}

CDownloadTask* CDownloadTaskQueue::FindTaskByPath(const std::wstring& fullPath) const {
  for (const auto& task : tasks_) {
    if (task->GetFullPath() == fullPath) return task.get();
  }
  return nullptr;
}

CDownloadTask* CDownloadTaskQueue::FindTaskByKey(const std::wstring& key) const {
  for (const auto& task : tasks_) {
    if (task->Md5() == key) return task.get();
  }
  return nullptr;
}

CDownloadTask* CDownloadTaskQueue::FindTaskByPeer(int64_t peerId, CDownloadPeer** peer) const {
  for (const auto& task : tasks_) {
    for (const auto& listed : task->Peers()) {
      if (engine_event::PeerId(listed.get()) == peerId) {
        if (peer != nullptr) *peer = listed.get();
        return task.get();
      }
    }
  }
  return nullptr;
}

void CDownloadTaskQueue::RemoveTask(CDownloadTask* task) {
  tasks_.remove_if([task](const std::unique_ptr<CDownloadTask>& listed) { return listed.get() == task; });
}

bool CDownloadTaskQueue::IsListed(const CDownloadTask* task) const {
  for (const auto& listed : tasks_) {
    if (listed.get() == task) return true;
  }
  return false;
}
