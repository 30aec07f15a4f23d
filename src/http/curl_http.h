#pragma once
// An HTTP transfer: collects the response headers, writes the body to its output stream and reads
// a request body from its input stream. The request (CHttpBase) configures it on the UI thread;
// the callbacks run on the curl worker.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "commonlib/core/base_stream.h"
#include "commonlib/core/proto_value.h"
#include "http/curl_base.h"

struct curl_slist;
struct curl_mime;

class CCurlHttp : public CCurlBase {
 public:
  static constexpr int kNoStatusYet = 700;

  CCurlHttp(CCurlWorkshop* workshop, CurlListener* listener);
  ~CCurlHttp() override;

  size_t OnRecieveHeader(const char* data, size_t length) override;
  size_t OnRecieveBody(const char* data, size_t length) override;
  size_t OnSendBody(char* buffer, size_t length) override;
  // Closes both streams; they stay owned by the transfer. Waits for a write in progress, so that
  // the caller may delete what the stream wrote to once this returns.
  void CloseStreams() override;

  void SetOutput(std::unique_ptr<OBaseStream> stream);
  void SetInput(std::unique_ptr<IBaseStream> stream);
  bool HasInput() const { return input_ != nullptr; }
  // The address of the server connected, as libcurl reports it; empty before a response.
  std::string PrimaryIp() const;

  // Set by the request's preparation before the transfer is handed over; worker thread after.
  ProtoValue headers;
  int httpCode = kNoStatusYet;
  uint64_t uploadTotal = 0;
  uint64_t uploadSent = 0;
  bool rangeRequested = false;
  uint64_t requestedOffset = 0;  // first byte asked for, when rangeRequested
  curl_slist* connectToList = nullptr;
  curl_mime* formPost = nullptr;  // the multipart form fields

 private:
  // Reads the status and the connected address from the easy handle; libcurl's result.
  int ReadResponseInfo();
  static bool IsErrorStatus(int code) { return code > 399 || code < 100; }

  // At the end of a header block: whether the body may be taken. A range answered with the whole
  // file, or with a Content-Range starting elsewhere, would put bytes at the wrong offsets.
  bool BodyFitsRequest() const;

  bool refuseBody_ = false;  // worker thread only
  mutable std::mutex streamLock_;  // the worker writes while the UI thread may close
  std::unique_ptr<OBaseStream> output_;
  std::unique_ptr<IBaseStream> input_;
  bool streamsClosed_ = false;
  std::string primaryIp_;
};
