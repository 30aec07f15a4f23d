#include "http/curl_events.h"

#include "http/curl_listener.h"
#include "thread/main_thread_task.h"

namespace {

CurlListener* ListenerOf(const CRefPtr<CCurlBase>& transfer) {
  if (transfer == nullptr || !CurlListener::IsAlive(transfer->listener)) return nullptr;
  return transfer->listener;
}

void RunDone(const CRefPtr<CCurlBase>& transfer, int curlCode) {
  if (CurlListener* listener = ListenerOf(transfer)) listener->OnCurlDone(transfer, curlCode);
}

void RunCancel(const CRefPtr<CCurlBase>& transfer, int) {
  if (CurlListener* listener = ListenerOf(transfer)) listener->OnCurlCancel(transfer);
}

void RunStart(const CRefPtr<CCurlBase>& transfer, int) {
  if (CurlListener* listener = ListenerOf(transfer)) listener->OnCurlStart(transfer);
}

void RunRecvProgress(const CRefPtr<CCurlBase>& transfer, unsigned int bytes) {
  if (CurlListener* listener = ListenerOf(transfer)) listener->OnCurlRecvProgress(transfer, bytes);
}

void RunSendProgress(const CRefPtr<CCurlBase>& transfer, unsigned int bytes) {
  if (CurlListener* listener = ListenerOf(transfer)) listener->OnCurlSendProgress(transfer, bytes);
}

void RunHeader(const CRefPtr<CCurlBase>& transfer, int httpCode, const ProtoValue& headers) {
  if (CurlListener* listener = ListenerOf(transfer)) listener->OnCurlHeader(transfer, httpCode, headers);
}

}  // namespace

void PostCurlDone(const CRefPtr<CCurlBase>& transfer, int curlCode) { PostToMainThread(RunDone, transfer, curlCode); }
void PostCurlCancel(const CRefPtr<CCurlBase>& transfer) { PostToMainThread(RunCancel, transfer, 0); }
void PostCurlStart(const CRefPtr<CCurlBase>& transfer) { PostToMainThread(RunStart, transfer, 0); }

void PostCurlRecvProgress(const CRefPtr<CCurlBase>& transfer, uint32_t bytes) {
  PostToMainThread(RunRecvProgress, transfer, static_cast<unsigned int>(bytes));
}

void PostCurlSendProgress(const CRefPtr<CCurlBase>& transfer, uint32_t bytes) {
  PostToMainThread(RunSendProgress, transfer, static_cast<unsigned int>(bytes));
}

void PostCurlHeader(const CRefPtr<CCurlBase>& transfer, int httpCode, const ProtoValue& headers) {
  PostToMainThread(RunHeader, transfer, httpCode, headers);
}
