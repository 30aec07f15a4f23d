#include "http/http_base.h"

#include <curl/curl.h>

#include "http/curl_http.h"
#include "http/curl_workshop.h"
#include "http/http_mgr.h"
#include "logger/log.h"
#include "platform/clock.h"
#include "util/common_utils.h"
#include "util/format.h"
#include "util/text_convert.h"

namespace {

constexpr const char* kUserAgent = "HTTP-QBTS-1.0";
constexpr long kMaxRedirects = 5;

int32_t CodeUnder(const ProtoValue& result, const wchar_t* name) {
  if (!result.has(name)) return 0;
  const ProtoValue& entry = result.get(name);
  if (entry.type() != ProtoValueType::Map || !entry.has(L"code")) return 0;
  const ProtoValue& code = entry.get(L"code");
  return code.type() == ProtoValueType::Integer ? static_cast<int32_t>(code.integer()) : 0;
}

}  // namespace

const wchar_t* ErrorTypeName(int32_t type) {
  static const wchar_t* const kNames[] = {L"ok", L"sys", L"crt", L"user", L"http", L"curl", L"webkit", L"dp", L"net"};
  if (type < 0 || type >= static_cast<int32_t>(sizeof(kNames) / sizeof(kNames[0]))) return L"";
  return kNames[type];
}

CHttpBase::CHttpBase(CCurlWorkshop* workshop, CHttpMgr* mgr) : mgr(mgr), workshop(workshop) {}

CHttpBase::~CHttpBase() { CHttpBase::Stop(); }

CCurlHttp* CHttpBase::HttpTransfer() const { return dynamic_cast<CCurlHttp*>(curl.Get()); }

void CHttpBase::ReleaseTransfer() {
  if (curl == nullptr) return;
  curl->Retire();
  curl->CloseStreams();
  curl.Reset();
}

void CHttpBase::SetIp(const std::wstring& /*host*/, const std::wstring& ip, uint32_t port) {
  connectTo.clear();
  if (ip.empty()) return;
  LOG_INFO(L"设置ip%s--%s:%u", GetUrl(), ip, port);
  connectTo.push_back(WideToAnsi(FormatW(L"::%s:%u", ip, port)));
}

bool CHttpBase::IsRetryDue() {
  const uint32_t now = platform::TickCount();
  // A defer tick in the future (the counter wrapped back) counts as no time passed.
  const int32_t passed = static_cast<int32_t>(now - deferTick);
  return passed > static_cast<int32_t>(kRetryDelayMs);
}

void CHttpBase::OnStart() { activityTick = platform::TickCount(); }

void CHttpBase::OnHeader(int httpCode, const ProtoValue& /*headers*/) {
  if (httpCode < 300 || httpCode > 399) return;
  redirected = true;
  if (!connectTo.empty()) {
    connectTo.clear();
    LOG_INFO(L"取消指定ip");
  }
}

std::string CHttpBase::RangeText() const {
  if (rangeStart > 0 && rangeEnd == 0) return WideToAnsi(FormatW(L"%I64u-", rangeStart));
  if (rangeEnd > rangeStart) return WideToAnsi(FormatW(L"%I64u-%I64u", rangeStart, rangeEnd));
  return std::string();
}

bool CHttpBase::Prepare() {
  CCurlHttp* transfer = HttpTransfer();
  if (transfer == nullptr) return true;
  if (transfer->easy == nullptr) {
    transfer->easy = curl_easy_init();
  } else {
    curl_easy_reset(transfer->easy);
  }
  transfer->uploadTotal = 0;
  transfer->uploadSent = 0;
  transfer->httpCode = CCurlHttp::kNoStatusYet;
  transfer->headers.clear();
  CURL* easy = transfer->easy;
  if (easy == nullptr) return true;

  const std::string address = WideToAnsi(GetUrl());
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(easy, CURLOPT_URL, address.c_str());
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CCurlBase::HeaderCallback);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, static_cast<CCurlBase*>(transfer));
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CCurlBase::WriteCallback);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, static_cast<CCurlBase*>(transfer));
  curl_easy_setopt(easy, CURLOPT_READFUNCTION, &CCurlBase::ReadCallback);
  curl_easy_setopt(easy, CURLOPT_READDATA, static_cast<CCurlBase*>(transfer));
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(easy, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, static_cast<long>(connectTimeout));
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, verifyHost && CommonUtils::IsHttps(GetUrl()) ? 2L : 0L);
  // The worker is one thread among several: libcurl must not touch signal handlers (it would
  // swap the SIGPIPE handler around every call, and a resolver timeout alarm is not thread-safe).
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);

  if (method == kPost) {
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    if (transfer->HasInput()) {
      curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(postSize));
      transfer->uploadTotal = postSize;
    }
  } else {
    const std::string range = RangeText();
    if (!range.empty()) curl_easy_setopt(easy, CURLOPT_RANGE, range.c_str());
  }
  if (!connectTo.empty()) {
    for (const auto& entry : connectTo) transfer->connectToList = curl_slist_append(transfer->connectToList, entry.c_str());
    curl_easy_setopt(easy, CURLOPT_CONNECT_TO, transfer->connectToList);
  }
  if (!formFields.empty()) {
    if (transfer->formPost != nullptr) curl_mime_free(transfer->formPost);
    transfer->formPost = curl_mime_init(easy);
    for (const auto& [name, value] : formFields) {
      curl_mimepart* part = curl_mime_addpart(transfer->formPost);
      curl_mime_name(part, name.c_str());
      curl_mime_data(part, value.c_str(), CURL_ZERO_TERMINATED);
    }
    curl_easy_setopt(easy, CURLOPT_MIMEPOST, transfer->formPost);
  }
  return true;
}

ErrorPair CHttpBase::Start() {
  if (started) return {error_type::kUser, -1};
  ++attempts;
  started = true;
  Prepare();
  if (curl != nullptr && workshop != nullptr) workshop->AddTransfer(curl);
  return {};
}

bool CHttpBase::Stop() {
  formFields.clear();
  if (started) {
    started = false;
    if (curl != nullptr && workshop != nullptr) workshop->CancelTransfer(curl);
    activityTick = 0;
  }
  ReleaseTransfer();
  if (mgr != nullptr && mgr->RemoveRequest(this)) mgr = nullptr;
  return true;
}

void CHttpBase::SetResult(int32_t errorType, int32_t code) {
  if (result.type() != ProtoValueType::Map) result = ProtoValue(ProtoValueType::Map);
  ProtoValue entry(ProtoValueType::Map);
  entry[L"code"] = ProtoValue(static_cast<int64_t>(code));
  result[ErrorTypeName(errorType)] = std::move(entry);
}

ErrorPair CHttpBase::GetError() const {
  if (result.type() != ProtoValueType::Map) return {};
  if (const int32_t code = CodeUnder(result, L"sys"); code != 0) return {error_type::kSystem, code};
  if (const int32_t code = CodeUnder(result, L"user"); code != 0) return {error_type::kUser, code};
  if (result.has(L"http")) {
    const int32_t code = CodeUnder(result, L"http");
    if (code < 100 || code >= 400) return {error_type::kHttp, code};
  }
  if (const int32_t code = CodeUnder(result, L"curl"); code != 0) return {error_type::kCurl, code};
  return {};
}
