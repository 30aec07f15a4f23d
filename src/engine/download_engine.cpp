#include "engine/download_engine.h"

#include <string>

#include "engine/download_task_queue.h"
#include "engine/download_transport.h"
#include "engine/event_hub.h"
#include "engine/http_peer_factory.h"
#include "logger/log.h"
#include "platform/message_loop.h"

namespace {

constexpr uint32_t kEngineTickMs = 1000;

struct ApplicationCallbacks {
  DownloadProgressCallback onProgress;
  DownloadCompleteCallback onComplete;
};

ApplicationCallbacks& Callbacks() {
  static ApplicationCallbacks callbacks;
  return callbacks;
}

std::wstring TextOrEmpty(const wchar_t* text) {
  return text != nullptr ? std::wstring(text) : std::wstring();
}

void OnEngineTimer(platform::WindowHandle, uint32_t, uintptr_t, uint32_t) {
  CDownloadTaskQueue::GetInstance()->OnTimer();
}

}  // namespace

bool DownloadEngineInit() {
  CreateDownloadTransport();
  CDownloadTaskQueue::GetInstance()->SetPeerFactory(&MakeHttpDownloadPeer);
  EventHub* hub = EventHub::GetInstance();
  if (!hub->Started()) {
    const uintptr_t timerId = platform::SetThreadTimer(kEngineTickMs, &OnEngineTimer);
    if (timerId == 0) LOG_ERRO(L"DownloadEngineInit SetTimer failed");
    hub->Register(CDownloadTaskQueue::GetInstance());
    hub->MarkStarted(timerId);
  }
  return true;
}

bool DownloadEngineUninit() {
  EventHub* hub = EventHub::GetInstance();
  if (hub->Started()) {
    if (hub->TimerId() != 0) platform::KillThreadTimer(hub->TimerId());
    hub->Unregister(CDownloadTaskQueue::GetInstance());
    hub->MarkStopped();
  }
  DestroyDownloadTransport();
  return true;
}

void SetDownloadCallbacks(DownloadProgressCallback onProgress, DownloadCompleteCallback onComplete) {
  Callbacks().onProgress = std::move(onProgress);
  Callbacks().onComplete = std::move(onComplete);
}

bool AddDownloadTask(const wchar_t* md5, const wchar_t* cdnHost, const wchar_t* url, const wchar_t* ipList,
                     const wchar_t* fullPath, uint64_t size, uintptr_t userData, int64_t cdnMinSpeed,
                     const char* options) {
  DownloadTaskSettings settings;
  settings.md5 = TextOrEmpty(md5);
  settings.cdnHost = TextOrEmpty(cdnHost);
  settings.url = TextOrEmpty(url);
  settings.ipList = TextOrEmpty(ipList);
  settings.fullPath = TextOrEmpty(fullPath);
  settings.expectedSize = size;
  settings.cdnMinSpeed = cdnMinSpeed;
  settings.options = options != nullptr ? std::string(options) : std::string();
  CDownloadTaskQueue::GetInstance()->AddDownloadFile(settings, userData, Callbacks().onProgress,
                                                     Callbacks().onComplete);
  return true;
}

bool RemoveDownloadTask(const wchar_t* /*url*/, const wchar_t* fullPath) {
  CDownloadTaskQueue::GetInstance()->CancelDownloadFile(TextOrEmpty(fullPath));
  return true;
}
