#pragma once
// A request: one logical HTTP exchange on the UI thread across all its attempts. It holds what to
// fetch, the current attempt's transfer, the scheduler's bookkeeping and the outcome of the
// attempt, and turns its settings into libcurl options for each attempt. Derived classes create
// the transfer and decide what an ended attempt means (Done).
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "commonlib/core/error_pair.h"
#include "commonlib/core/proto_value.h"
#include "http/curl_base.h"

class CCurlHttp;
class CCurlWorkshop;
class CHttpMgr;

// The names under which a result records an error of each type.
const wchar_t* ErrorTypeName(int32_t type);

class CHttpBase {
 public:
  static constexpr int32_t kGet = 1;
  static constexpr int32_t kPost = 2;
  static constexpr uint32_t kRetryDelayMs = 500;

  CHttpBase(CCurlWorkshop* workshop, CHttpMgr* mgr);
  virtual ~CHttpBase();
  CHttpBase(const CHttpBase&) = delete;
  CHttpBase& operator=(const CHttpBase&) = delete;

  virtual std::wstring GetUrl() { return url; }
  // Pins the connection to `ip`:`port` for every host the attempt uses; an empty `ip` only clears
  // the pin. `host` is not used here.
  virtual void SetIp(const std::wstring& host, const std::wstring& ip, uint32_t port);
  // More than kRetryDelayMs since the request was deferred.
  virtual bool IsRetryDue();
  virtual bool Prepare();
  virtual ErrorPair Start();
  virtual bool Stop();
  virtual void OnStart();
  virtual void OnCancel() {}
  virtual void Done(int32_t errorType, int32_t errorCode) = 0;
  virtual void OnHeader(int httpCode, const ProtoValue& headers);
  virtual void OnProgress(int64_t /*bytes*/) {}

  // The outcome recorded in `result`, ranked: system, own, HTTP status, then libcurl.
  ErrorPair GetError() const;
  // Records `code` under the error type's name in `result`.
  void SetResult(int32_t errorType, int32_t code);
  void AddFormField(const std::string& name, const std::string& value) { formFields.emplace_back(name, value); }
  void ClearFormFields() { formFields.clear(); }
  // The range text of the current settings ("100-", "0-99"); empty when no range is asked for.
  std::string RangeText() const;

  // The transfer of the current attempt as an HTTP transfer (null when there is none).
  CCurlHttp* HttpTransfer() const;
  // Drops the current transfer: it stops taking data, its streams close, the reference goes.
  void ReleaseTransfer();

  CRefPtr<CCurlBase> curl;
  CHttpMgr* mgr;
  CCurlWorkshop* workshop;
  std::vector<std::string> connectTo;
  std::vector<std::pair<std::string, std::string>> formFields;
  bool started = false;
  std::wstring url;
  uint64_t requestId = 0;
  int32_t method = kGet;
  uint64_t rangeStart = 0;
  uint64_t rangeEnd = 0;
  uint64_t postSize = 0;
  uint32_t attempts = 0;
  bool scheduled = false;
  ProtoValue result;
  uint32_t maxRetries = 2;
  int32_t connectTimeout = 5;  // seconds
  bool deferred = false;
  uint32_t deferTick = 0;
  int32_t priority = 0;
  bool verifyHost = false;
  uint32_t activityTick = 0;
  uint32_t timeoutMs = 0;
  bool redirected = false;
};
