#include "http/curl_http.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>

#include "http/content_range.h"
#include "http/curl_events.h"
#include "logger/log.h"
#include "util/text_convert.h"
#include "util/text_edit.h"

namespace {

constexpr size_t kLoggedBodyBytes = 1000;

bool IsInformational(int code) { return code >= 100 && code < 200; }
bool IsRedirect(int code) { return code >= 300 && code < 400; }

}  // namespace

CCurlHttp::CCurlHttp(CCurlWorkshop* workshop, CurlListener* listener) : CCurlBase(workshop, listener) {}

CCurlHttp::~CCurlHttp() {
  CloseStreams();
  if (connectToList != nullptr) curl_slist_free_all(connectToList);
  if (formPost != nullptr) curl_mime_free(formPost);
  if (easy != nullptr) curl_easy_cleanup(easy);
  easy = nullptr;
}

void CCurlHttp::SetOutput(std::unique_ptr<OBaseStream> stream) {
  std::lock_guard<std::mutex> guard(streamLock_);
  output_ = std::move(stream);
  streamsClosed_ = false;
}

void CCurlHttp::SetInput(std::unique_ptr<IBaseStream> stream) {
  std::lock_guard<std::mutex> guard(streamLock_);
  input_ = std::move(stream);
  streamsClosed_ = false;
}

void CCurlHttp::CloseStreams() {
  std::lock_guard<std::mutex> guard(streamLock_);
  if (output_ != nullptr) output_->Close();
  if (input_ != nullptr) input_->Close();
  streamsClosed_ = true;
}

std::string CCurlHttp::PrimaryIp() const {
  std::lock_guard<std::mutex> guard(streamLock_);
  return primaryIp_;
}

int CCurlHttp::ReadResponseInfo() {
  if (easy == nullptr) return CURLE_BAD_FUNCTION_ARGUMENT;
  long code = 0;
  const CURLcode result = curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
  if (result == CURLE_OK) httpCode = static_cast<int>(code);
  char* ip = nullptr;
  if (curl_easy_getinfo(easy, CURLINFO_PRIMARY_IP, &ip) == CURLE_OK && ip != nullptr) {
    std::lock_guard<std::mutex> guard(streamLock_);
    primaryIp_ = ip;
  }
  return result;
}

size_t CCurlHttp::OnRecieveHeader(const char* data, size_t length) {
  // An interim 1xx answer (100 Continue) is followed by the real status line, so it is read again
  // like a redirect's.
  if (httpCode == kNoStatusYet || IsRedirect(httpCode) || IsInformational(httpCode)) {
    const int result = ReadResponseInfo();
    if (result != CURLE_OK || IsErrorStatus(httpCode)) {
      LOG_ERRO(L"CCurlHttp::OnRecieveHeader HTTP error code:%d httpcode:%d ", result, httpCode);
    }
    if (httpCode == 200 && rangeRequested) {
      LOG_INFO(L"httpcode==200 不支持断点续传，清空文件");
      std::lock_guard<std::mutex> guard(streamLock_);
      if (output_ != nullptr) output_->Finish();
    }
  }
  if (IsErrorStatus(httpCode)) {
    PostCurlHeader(CRefPtr<CCurlBase>(this), httpCode, ProtoValue());
    return length;
  }
  const std::string line(data, length);
  if (line == "\r\n" || line == "\n") {
    refuseBody_ = !BodyFitsRequest();
    PostCurlHeader(CRefPtr<CCurlBase>(this), httpCode, headers);
    return length;
  }
  const size_t colon = line.find(':');
  if (colon == std::string::npos || colon == 0) return length;
  std::wstring name = AnsiToWide(std::string_view(line).substr(0, colon));
  std::wstring value = AnsiToWide(std::string_view(line).substr(colon + 1));
  TrimW(name);
  TrimW(value);
  headers[name] = ProtoValue(std::move(value));
  return length;
}

bool CCurlHttp::BodyFitsRequest() const {
  if (!rangeRequested || httpCode < 200 || httpCode > 299) return true;
  if (httpCode == 200) return false;
  if (!headers.has(L"Content-Range")) return true;
  uint64_t start = 0;
  return ContentRangeStart(headers.get(L"Content-Range").string(), &start) && start == requestedOffset;
}

size_t CCurlHttp::OnRecieveBody(const char* data, size_t length) {
  if (refuseBody_) return 0;
  if (IsErrorStatus(httpCode)) {
    const std::string shown(data, std::min(length, kLoggedBodyBytes));
    LOG_ERRO(L"CCurlHttp::OnRecieveBody HTTP error  httpcode:%d %s", httpCode, AnsiToWide(shown));
    return 0;
  }
  std::lock_guard<std::mutex> guard(streamLock_);
  if (output_ == nullptr || streamsClosed_) return 0;
  // libcurl hands at most CURL_MAX_WRITE_SIZE bytes per call, far below the stream's limit.
  const int32_t written = output_->Write(data, static_cast<uint32_t>(length));
  if (written >= 0) return static_cast<size_t>(written);
  LOG_ERRO(L"CCurlHttp::OnRecieveBody  Write file error %d", output_->ErrorCode());
  return 0;
}

size_t CCurlHttp::OnSendBody(char* buffer, size_t length) {
  std::lock_guard<std::mutex> guard(streamLock_);
  if (input_ == nullptr || streamsClosed_ || uploadTotal == 0 || uploadSent >= uploadTotal) return 0;
  const uint64_t wanted = std::min<uint64_t>(length, uploadTotal - uploadSent);
  const int32_t read = input_->Read(buffer, static_cast<uint32_t>(wanted));
  if (read >= 0) {
    uploadSent += static_cast<uint64_t>(read);
    return static_cast<size_t>(read);
  }
  LOG_ERRO(L"CCurlHttp::OnSendBody  Read file error %d", errno);
  return 0;
}
