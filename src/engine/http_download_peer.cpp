#include "engine/http_download_peer.h"

#include <memory>

#include "commonlib/core/error_pair.h"
#include "engine/download_file_io.h"
#include "engine/download_transport.h"
#include "engine/engine_limits.h"
#include "engine/engine_events.h"
#include "engine/event_hub.h"
#include "http/content_range.h"
#include "http/curl_http.h"
#include "http/http_mgr.h"
#include "http/url_resolve.h"
#include "logger/log.h"
#include "platform/clock.h"
#include "util/common_utils.h"
#include "util/number_text.h"
#include "util/text_convert.h"

namespace {

// libcurl's "transferred a partial file".
constexpr int32_t kCurlPartialFile = 18;

bool IsRedirectStatus(int code) { return code >= 300 && code <= 399; }

}  // namespace

CHttpDownloadPeer::CHttpDownloadPeer(const std::string& options, const std::wstring& address,
                                     const std::wstring& dataFile, bool isIpPeer)
    // Registered with the scheduler only while a block is queued or running (Requeue), so a peer
    // that outlives the download transport never points at a scheduler that is gone.
    : CHttpBase(DownloadWorkshop(), nullptr), isIpPeer(isIpPeer), options_(options) {
  dataPath = dataFile;
  url = address;
  timeoutMs = CurrentEngineLimits().stallTimeoutMs;
}

CHttpDownloadPeer::~CHttpDownloadPeer() {
  block = nullptr;
  CHttpBase::Stop();
}

std::wstring CHttpDownloadPeer::GetHost() { return CommonUtils::GetHostFromUrl(url); }

std::wstring CHttpDownloadPeer::GetSourceName() {
  if (!isCdn && !redirected && !serverIp.empty()) return serverIp;
  return GetHost();
}

void CHttpDownloadPeer::SetIp(const std::wstring& host, const std::wstring& ip, uint32_t port) {
  serverIp = ip;
  CHttpBase::SetIp(host, ip, port);
}

uint32_t CHttpDownloadPeer::SampleSpeed() { return sampler.Sample(platform::TickCount()); }

void CHttpDownloadPeer::Publish(int32_t type, int32_t a, int32_t b, const ProtoValue& value) {
  EventHub::GetInstance()->Broadcast(type, a, b, value);
}

void CHttpDownloadPeer::Requeue() {
  mgr = DownloadMgr();
  if (mgr != nullptr) mgr->AddRequest(this);
}

bool CHttpDownloadPeer::RequestBlock(BlockRequest* newBlock) {
  if (firstRequestTick == 0) firstRequestTick = platform::TickCount();
  if (started) return false;
  block = newBlock;
  busy = true;
  if (DownloadMgr() == nullptr) return false;
  Requeue();
  return true;
}

void CHttpDownloadPeer::StopRequest() {
  block = nullptr;
  Stop();
}

ErrorPair CHttpDownloadPeer::Start() {
  if (started) return {};
  if (block == nullptr) {
    LOG_INFO(L"CHttpDownloadFile::Start() url:%s BLOCK==NULL", url);
    return {error_type::kUser, user_error::kNoBlockAtStart};
  }
  ReleaseTransfer();
  // The transport of now: the engine may have been stopped and started again since construction.
  workshop = DownloadWorkshop();
  CRefPtr<CCurlHttp> transfer(new CCurlHttp(workshop, DownloadMgr()));
  transfer->reportProgress = true;
  curl = transfer.Get();

  const uint64_t offset = block->start + block->received;
  auto writer = std::make_unique<CQBDownloadFileIO>();
  if (!writer->open(dataPath, offset)) {
    const ErrorPair failure{writer->errorType, writer->errorCode};
    writer->Close();
    return failure;
  }
  if (offset <= block->end) writer->remaining = block->end + 1 - offset;
  transfer->SetOutput(std::move(writer));
  LOG_INFO(L"CHttpDownloadFile::Start() url:%s", url);

  const uint64_t length = block->end - block->start + 1;
  if (block->received > length) {
    LOG_ERRO(L"%s已经完成大小(%lld)超过预期(%lld)大小  ", dataPath, static_cast<int64_t>(block->received),
             static_cast<int64_t>(length));
    return {error_type::kUser, user_error::kBlockAlreadyComplete};
  }
  if (block->received == length) {
    LOG_INFO(L"文件大小等于预计大小，下载已完成 %s pos:%d", dataPath, static_cast<int32_t>(length));
    return {error_type::kUser, user_error::kBlockAlreadyComplete};
  }
  transfer->rangeRequested = offset != 0 || block->end != 0;
  transfer->requestedOffset = offset;
  rangeStart = offset;
  rangeEnd = block->end;
  return CHttpBase::Start();
}

void CHttpDownloadPeer::OnHeader(int status, const ProtoValue& headers) {
  CCurlHttp* transfer = HttpTransfer();
  const std::wstring connected = transfer != nullptr ? AnsiToWide(transfer->PrimaryIp()) : std::wstring();
  if (!connected.empty() && serverIp.empty()) {
    serverIp = connected;
    ProtoValue value = engine_event::PeerEventValue(*this);
    value[engine_event::kServerIp] = serverIp;
    Publish(engine_event::kSourceResolved, 0, 0, value);
  }
  if (!IsRedirectStatus(status)) {
    activityTick = platform::TickCount();
    SetResult(error_type::kHttp, status);
    if (status == 200 && transfer != nullptr && transfer->rangeRequested) {
      LOG_INFO(L"不支持断点续传 url:%s", url);
      Done(error_type::kHttp, user_error::kRangeIgnored);
      return;
    }
    if (block == nullptr || headers.type() != ProtoValueType::Map) return;
    const uint64_t offset = block->start + block->received;
    // A range that starts elsewhere would put its bytes at the wrong offset of the file.
    uint64_t rangeFrom = 0;
    if (status == 206 && headers.has(L"Content-Range") &&
        (!ContentRangeStart(headers.get(L"Content-Range").string(), &rangeFrom) || rangeFrom != offset)) {
      LOG_ERRO(L"起始位置不一致 预期值:%lld 实际值:%s url:%s ip:%s", static_cast<int64_t>(offset),
               headers.get(L"Content-Range").string(), url, serverIp);
      Done(error_type::kUser, user_error::kRangeMismatch);
      return;
    }
    if (headers.has(L"Content-Length")) {
      const int64_t announced = ToInt64(headers.get(L"Content-Length").string());
      const uint64_t missing = block->end - offset + 1;
      if (announced > 0 && missing != 0 && missing != static_cast<uint64_t>(announced)) {
        LOG_ERRO(L"长度不一致 预期值:%d 实际值:%lld url:%s ip:%s", static_cast<int32_t>(missing), announced, url, serverIp);
        Done(error_type::kUser, user_error::kLengthMismatch);
      }
    }
    return;
  }
  const std::wstring raw = headers.has(L"Location") ? headers.get(L"Location").string() : std::wstring();
  // A relative Location names a place on the server that redirected.
  std::wstring location = ResolveLocation(url, raw);
  if (location.empty()) location = raw;
  LOG_INFO(L"重定向中...  url:%s", url);
  ProtoValue value = engine_event::PeerEventValue(*this);
  value[engine_event::kLogName] = GetSourceName();
  value[engine_event::kLocation] = location;
  savedLocation = location;
  connectTo.clear();
  serverIp.clear();
  redirected = true;
  Publish(engine_event::kSourceRedirected, 0, 0, value);
  if (isIpPeer) {
    isIpPeer = false;
    Done(error_type::kUser, user_error::kPinnedRedirect);
    return;
  }
  url = savedLocation;
  savedLocation.clear();
}

void CHttpDownloadPeer::OnProgress(int64_t bytes) {
  activityTick = platform::TickCount();
  if (block == nullptr) return;
  block->received += static_cast<uint32_t>(bytes);
  sampler.pendingBytes += static_cast<uint32_t>(bytes);
}

void CHttpDownloadPeer::Done(int32_t errorType, int32_t errorCode) {
  CCurlHttp* transfer = HttpTransfer();
  const std::wstring connected = transfer != nullptr ? AnsiToWide(transfer->PrimaryIp()) : std::wstring();
  LOG_INFO(L"CHttpDownloadFile::Done() begin type:%d code:%d  url:%s ip:%s", errorType, errorCode, url, connected);
  // A transfer that "succeeded" short of the block's end (a server that closed early without a
  // length) left a hole: a transport failure, retried like the others.
  if (errorType == error_type::kCurl && errorCode == 0 && block != nullptr &&
      block->start + block->received < block->end + 1) {
    LOG_ERRO(L"CHttpDownloadFile::Done() 数据不完整 %lld/%lld url:%s", static_cast<int64_t>(block->received),
             static_cast<int64_t>(block->end - block->start + 1), url);
    errorCode = kCurlPartialFile;
  }
  CHttpBase::Stop();
  ErrorPair pair{errorType, errorCode};
  if (errorType == error_type::kCurl) {
    SetResult(error_type::kCurl, errorCode);
    pair = GetError();
  }
  result.clear();
  const bool retryable = (pair.type == error_type::kCurl && pair.code != 0) ||
                         (pair.type == error_type::kUser &&
                          (pair.code == user_error::kNoProgress || pair.code == user_error::kPinnedRedirect));
  if (retryable && attempts <= maxRetries) {
    LOG_INFO(L"CHttpDownloadFile::Done() 重试.... type:%d code:%d  url:%s ip:%s", pair.type, pair.code, url, connected);
    ProtoValue value = engine_event::PeerEventValue(*this);
    value[engine_event::kErrorType] = pair.type;
    value[engine_event::kErrorCode] = pair.code;
    value[engine_event::kTimes] = static_cast<int64_t>(attempts);
    Publish(engine_event::kSourceRetry, 0, 0, value);
    if (pair == ErrorPair{error_type::kUser, user_error::kPinnedRedirect}) {
      url = savedLocation;
      savedLocation.clear();
    }
    deferred = true;
    deferTick = platform::TickCount();
    Requeue();
    return;
  }
  if (pair.type != error_type::kOk) {
    LOG_ERRO(L"CHttpDownloadFile::Done() type:%d code:%d  url:%s ip:%s", pair.type, pair.code, url, connected);
  }
  busy = false;
  // The last thing: a listener may destroy this peer, or its whole task.
  Publish(engine_event::kRangeDone, pair.type, pair.code, engine_event::PeerEventValue(*this));
}
