#include "http/http_mgr.h"

#include <algorithm>
#include <vector>

#include "http/http_base.h"
#include "logger/log.h"
#include "platform/clock.h"

namespace {

// Shared by every scheduler of the process.
uint32_t gRequestSequence = 0;

// Every scheduler that exists, for the application's tick. UI thread only.
std::vector<CHttpMgr*>& LiveSchedulers() {
  static std::vector<CHttpMgr*> schedulers;
  return schedulers;
}

}  // namespace

CHttpMgr::CHttpMgr(int32_t maxRunning) : maxRunning(maxRunning) { LiveSchedulers().push_back(this); }

CHttpMgr::~CHttpMgr() {
  requests.clear();
  std::erase(LiveSchedulers(), this);
}

void CHttpMgr::TickAll(uint32_t tickCount) {
  // A tick may destroy or create schedulers (a request's Done): walk a copy, skip the gone.
  const std::vector<CHttpMgr*> schedulers = LiveSchedulers();
  auto alive = [](CHttpMgr* mgr) {
    const auto& live = LiveSchedulers();
    return std::find(live.begin(), live.end(), mgr) != live.end();
  };
  if (tickCount % 2 == 0) {
    for (CHttpMgr* mgr : schedulers) {
      if (alive(mgr)) mgr->CheckTimeouts();
    }
  }
  for (CHttpMgr* mgr : schedulers) {
    if (alive(mgr)) mgr->ResumeDeferred();
  }
}

CHttpBase* CHttpMgr::FindRequest(const CCurlBase* transfer) const {
  for (CHttpBase* request : requests) {
    if (request->curl.Get() == transfer) return request;
  }
  return nullptr;
}

bool CHttpMgr::Holds(const CHttpBase* request) const {
  return std::find(requests.begin(), requests.end(), request) != requests.end();
}

void CHttpMgr::OnCurlDone(const CRefPtr<CCurlBase>& transfer, int curlCode) {
  if (CHttpBase* request = FindRequest(transfer)) request->Done(error_type::kCurl, curlCode);
}

void CHttpMgr::OnCurlRecvProgress(const CRefPtr<CCurlBase>& transfer, uint32_t bytes) {
  if (CHttpBase* request = FindRequest(transfer)) request->OnProgress(static_cast<int64_t>(bytes));
}

void CHttpMgr::OnCurlSendProgress(const CRefPtr<CCurlBase>& transfer, uint32_t bytes) {
  if (CHttpBase* request = FindRequest(transfer)) request->OnProgress(static_cast<int64_t>(bytes));
}

void CHttpMgr::OnCurlHeader(const CRefPtr<CCurlBase>& transfer, int httpCode, const ProtoValue& headers) {
  if (CHttpBase* request = FindRequest(transfer)) request->OnHeader(httpCode, headers);
}

void CHttpMgr::OnCurlCancel(const CRefPtr<CCurlBase>& transfer) {
  if (CHttpBase* request = FindRequest(transfer)) request->OnCancel();
}

void CHttpMgr::OnCurlStart(const CRefPtr<CCurlBase>& transfer) {
  if (CHttpBase* request = FindRequest(transfer)) request->OnStart();
}

uint64_t CHttpMgr::AddRequest(CHttpBase* request) {
  if (Holds(request)) {
    LOG_INFO(L"http请求重复添加 url:%s", request->GetUrl());
    return request->requestId;
  }
  ++gRequestSequence;
  request->requestId = static_cast<uint64_t>(platform::TickCount()) << 32 | gRequestSequence;
  requests.push_back(request);
  if (!request->deferred) Schedule();
  return request->requestId;
}

bool CHttpMgr::RemoveRequest(CHttpBase* request) {
  const bool wasScheduled = request->scheduled;
  requests.remove(request);
  request->scheduled = false;
  if (wasScheduled) {
    --running;
    Schedule();
  }
  return true;
}

void CHttpMgr::Schedule() {
  const auto total = static_cast<int32_t>(requests.size());
  if (running > maxRunning || running > total) {
    LOG_INFO(L"CHttpMgr::Schedule() 正在运行的任务数计算出错，重新计算中 running:%d max:%d total:%d", running, maxRunning,
             total);
    running = static_cast<int32_t>(std::count_if(requests.begin(), requests.end(), [](const CHttpBase* r) { return r->scheduled; }));
  }
  LOG_INFO(L"CHttpMgr::Schedule() 调度任务 running:%d max:%d total:%d", running, maxRunning,
           static_cast<int32_t>(requests.size()));
  if (running >= maxRunning) {
    LOG_INFO(L"CHttpMgr::Schedule() 任务数超标 running:%d max:%d total:%d", running, maxRunning,
             static_cast<int32_t>(requests.size()));
    return;
  }
  // A request whose start failed is not started again within this call: its Done normally takes
  // it out of the list, and one that stays would otherwise restart the walk forever.
  std::vector<const CHttpBase*> failed;
  for (const int32_t priority : {1, 0}) {
    bool restart = true;
    while (restart) {
      restart = false;
      for (auto it = requests.begin(); it != requests.end(); ++it) {
        CHttpBase* request = *it;
        if (request->priority != priority) continue;
        bool startFailed = false;
        if (!request->scheduled && !request->started && !request->deferred &&
            std::find(failed.begin(), failed.end(), request) == failed.end()) {
          ErrorPair pair = request->Start();
          if (pair.code == 0) {
            request->scheduled = true;
            ++running;
          } else {
            if (pair.code == user_error::kBlockAlreadyComplete) pair = {};
            startFailed = true;
            failed.push_back(request);
            request->Done(pair.type, pair.code);
          }
        }
        if (running >= maxRunning) return;
        if (startFailed) {
          LOG_INFO(L"CHttpMgr::Schedule 有调度任务开始失败，重新调度");
          restart = true;
          break;
        }
      }
    }
  }
}

void CHttpMgr::CheckTimeouts() { CheckTimeouts(platform::TickCount()); }

void CHttpMgr::CheckTimeouts(uint32_t now) {
  const std::vector<CHttpBase*> snapshot(requests.begin(), requests.end());
  for (CHttpBase* request : snapshot) {
    // Done of an earlier request may have removed (and freed) this one.
    if (!Holds(request)) continue;
    if (request->timeoutMs > 0 && request->activityTick > 0 && now - request->activityTick > request->timeoutMs) {
      request->Done(error_type::kUser, user_error::kNoProgress);
      if (Holds(request)) request->activityTick = 0;
    }
  }
}

void CHttpMgr::ResumeDeferred() {
  bool released = false;
  for (CHttpBase* request : requests) {
    if (request->deferred && request->IsRetryDue()) {
      request->deferred = false;
      released = true;
    }
  }
  if (released) Schedule();
}

void CHttpMgr::DetachRequests() {
  for (CHttpBase* request : requests) {
    request->mgr = nullptr;
    request->workshop = nullptr;
  }
  requests.clear();
  running = 0;
}
