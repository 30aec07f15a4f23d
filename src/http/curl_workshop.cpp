#include "http/curl_workshop.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <mutex>

#include "http/curl_events.h"
#include "logger/log.h"

namespace {

// Longest wait in libcurl's poll. Wake-ups end it at once for new work and stops, and libcurl
// shortens it for its own timers, so this only bounds how long an idle worker sleeps.
constexpr int kIdleWaitMs = 1000;
// A pass that took less than this is a trickle: a paced link delivering a packet at a time.
constexpr uint64_t kTrickleBytes = 32 * 1024;
constexpr auto kTricklePause = std::chrono::milliseconds(1);

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_ALL); });
}

bool Holds(const std::list<CRefPtr<CCurlBase>>& list, const CCurlBase* transfer) {
  return std::any_of(list.begin(), list.end(), [&](const CRefPtr<CCurlBase>& entry) { return entry.Get() == transfer; });
}

bool EraseFirst(std::list<CRefPtr<CCurlBase>>& list, const CCurlBase* transfer) {
  const auto it =
      std::find_if(list.begin(), list.end(), [&](const CRefPtr<CCurlBase>& entry) { return entry.Get() == transfer; });
  if (it == list.end()) return false;
  list.erase(it);
  return true;
}

}  // namespace

CCurlWorkshop::~CCurlWorkshop() {
  DestroyThread(platform::kWaitInfinite);
  UnInit();
}

void CCurlWorkshop::Init() {
  InitCurlOnce();
  CScopedLock guard(lock_);
  if (multi_ != nullptr) return;
  multi_ = curl_multi_init();
  LOG_INFO(L"CCurlWorkshop::Init() %x", reinterpret_cast<uintptr_t>(multi_));
}

void CCurlWorkshop::UnInit() {
  CScopedLock guard(lock_);
  LOG_INFO(L"CCurlWorkshop::UnInit() %x", reinterpret_cast<uintptr_t>(multi_));
  if (multi_ != nullptr) {
    for (auto& transfer : running_) {
      if (transfer->easy == nullptr) continue;
      curl_multi_remove_handle(multi_, transfer->easy);
      curl_easy_cleanup(transfer->easy);
      transfer->easy = nullptr;
    }
    curl_multi_cleanup(multi_);
    multi_ = nullptr;
  }
  cancelled_.clear();
  pending_.clear();
  running_.clear();
  retired_.clear();
}

void CCurlWorkshop::WakeWorker() {
  {
    std::lock_guard<std::mutex> guard(pauseLock_);
    workArrived_ = true;
  }
  pauseEnded_.notify_one();
  if (multi_ != nullptr) curl_multi_wakeup(multi_);
}

void CCurlWorkshop::PauseWhileTrickling(int running) {
  const bool trickle = running > 0 && receivedThisPass_ > 0 && receivedThisPass_ < kTrickleBytes;
  receivedThisPass_ = 0;
  std::unique_lock<std::mutex> guard(pauseLock_);
  if (trickle) pauseEnded_.wait_for(guard, kTricklePause, [this] { return workArrived_; });
  workArrived_ = false;
}

void CCurlWorkshop::OnStopRequested() {
  CScopedLock guard(lock_);
  WakeWorker();
}

bool CCurlWorkshop::AddTransfer(const CRefPtr<CCurlBase>& transfer) {
  CScopedLock guard(lock_);
  if (multi_ == nullptr) return false;
  pending_.push_back(transfer);
  EraseFirst(cancelled_, transfer.Get());
  WakeWorker();
  return true;
}

bool CCurlWorkshop::CancelTransfer(const CRefPtr<CCurlBase>& transfer) {
  CScopedLock guard(lock_);
  if (multi_ == nullptr) return false;
  cancelled_.push_back(transfer);
  WakeWorker();
  return true;
}

void CCurlWorkshop::Run() {
  while (!IsStopRequested()) {
    const int running = PerformStep();
    const int finished = CompletionStep();
    if (IsStopRequested()) break;
    // A finished transfer may have made room for work libcurl can do at once.
    if (finished > 0) continue;
    PauseWhileTrickling(running);
    if (IsStopRequested()) break;
    curl_multi_poll(multi_, nullptr, 0, kIdleWaitMs, nullptr);
  }
}

int CCurlWorkshop::PerformStep() {
  if (IsStopRequested()) return 0;
  QueueStep();
  int running = 0;
  CURLMcode code;
  do {
    code = curl_multi_perform(multi_, &running);
  } while (code == CURLM_CALL_MULTI_PERFORM);
  return running;
}

void CCurlWorkshop::Unlist(const CCurlBase* transfer) {
  if (!EraseFirst(running_, transfer)) EraseFirst(pending_, transfer);
}

void CCurlWorkshop::QueueStep() {
  {
    CScopedLock guard(lock_);
    // A request that stops both cancels its transfer and clears its flag; one announcement will do.
    for (const TransferList* list : {&pending_, &running_}) {
      for (const auto& transfer : *list) {
        if (!transfer->IsAlive() && !Holds(cancelled_, transfer.Get())) cancelled_.push_back(transfer);
      }
    }
    while (!cancelled_.empty()) {
      CRefPtr<CCurlBase> transfer = cancelled_.front();
      cancelled_.pop_front();
      retired_.push_back(transfer);
      Unlist(transfer.Get());
      PostCurlCancel(transfer);
    }
    while (!pending_.empty()) {
      CRefPtr<CCurlBase> transfer = pending_.front();
      pending_.pop_front();
      if (transfer->easy == nullptr || Holds(running_, transfer.Get())) continue;
      if (curl_multi_add_handle(multi_, transfer->easy) != CURLM_OK) continue;
      PostCurlStart(transfer);
      running_.push_back(transfer);
    }
  }
  // Only this thread touches retired_.
  for (auto& transfer : retired_) {
    if (transfer->easy == nullptr) continue;
    curl_multi_remove_handle(multi_, transfer->easy);
    curl_easy_cleanup(transfer->easy);
    transfer->easy = nullptr;
  }
  retired_.clear();
}

int CCurlWorkshop::CompletionStep() {
  int seen = 0;
  int left = 0;
  while (!IsStopRequested()) {
    CURLMsg* message = curl_multi_info_read(multi_, &left);
    if (message == nullptr) break;
    if (message->msg != CURLMSG_DONE) continue;
    ++seen;
    const auto it = std::find_if(running_.begin(), running_.end(),
                                 [&](const CRefPtr<CCurlBase>& entry) { return entry->easy == message->easy_handle; });
    if (it == running_.end()) continue;
    CRefPtr<CCurlBase> transfer = *it;
    const CURLcode result = message->data.result;
    // Bytes received since the last throttled progress event are reported before the end, so the
    // listener's count is complete when it hears of it.
    if (transfer->reportProgress && transfer->pendingBytes > 0) {
      PostCurlRecvProgress(transfer, static_cast<uint32_t>(transfer->pendingBytes));
      transfer->pendingBytes = 0;
    }
    PostCurlDone(transfer, static_cast<int>(result));
    {
      CScopedLock guard(lock_);
      Unlist(transfer.Get());
    }
    curl_multi_remove_handle(multi_, transfer->easy);
    curl_easy_cleanup(transfer->easy);
    transfer->easy = nullptr;
  }
  return seen;
}
