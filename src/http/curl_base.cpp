#include "http/curl_base.h"

#include <curl/curl.h>

#include "http/curl_events.h"
#include "http/curl_workshop.h"
#include "platform/clock.h"

namespace {

constexpr uint32_t kRecvProgressEveryMs = 10;
constexpr uint32_t kSendProgressEveryMs = 100;

// True when more than `periodMs` have passed since the transfer's last progress event; then the
// event is due and the clock restarts.
bool ProgressDue(CCurlBase& transfer, uint32_t periodMs) {
  if (!transfer.reportProgress) return false;
  const uint32_t now = platform::TickCount();
  if (now - transfer.lastProgressTick <= periodMs) return false;
  transfer.lastProgressTick = now;
  return true;
}

}  // namespace

CCurlBase::CCurlBase(CCurlWorkshop* workshop, CurlListener* listener) : listener(listener), workshop(workshop) {}

CCurlBase::~CCurlBase() {
  if (easy != nullptr) curl_easy_cleanup(easy);
  easy = nullptr;
}

size_t CCurlBase::HeaderCallback(char* data, size_t size, size_t count, void* userData) {
  auto* transfer = static_cast<CCurlBase*>(userData);
  if (transfer == nullptr || !transfer->IsAlive()) return 0;
  return transfer->OnRecieveHeader(data, size * count);
}

size_t CCurlBase::WriteCallback(char* data, size_t size, size_t count, void* userData) {
  auto* raw = static_cast<CCurlBase*>(userData);
  if (raw == nullptr || !raw->IsAlive()) return 0;
  CRefPtr<CCurlBase> transfer(raw);
  const size_t taken = transfer->OnRecieveBody(data, size * count);
  transfer->pendingBytes += taken;
  if (transfer->workshop != nullptr) transfer->workshop->CountReceived(taken);
  if (ProgressDue(*transfer, kRecvProgressEveryMs)) {
    PostCurlRecvProgress(transfer, static_cast<uint32_t>(transfer->pendingBytes));
    transfer->pendingBytes = 0;
  }
  return taken;
}

size_t CCurlBase::ReadCallback(char* buffer, size_t size, size_t count, void* userData) {
  auto* raw = static_cast<CCurlBase*>(userData);
  if (raw == nullptr || !raw->IsAlive()) return 0;
  CRefPtr<CCurlBase> transfer(raw);
  const size_t supplied = transfer->OnSendBody(buffer, size * count);
  if (ProgressDue(*transfer, kSendProgressEveryMs)) {
    PostCurlSendProgress(transfer, static_cast<uint32_t>(supplied));
  }
  return supplied;
}
