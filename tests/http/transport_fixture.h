#pragma once
// A running curl worker with the UI-thread dispatcher, the test servers, and two kinds of client:
// a recording listener that sees raw transfer events, and a fetch request driven by a scheduler.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "commonlib/core/input_buffer_stream.h"
#include "commonlib/core/output_buffer_stream.h"
#include "http/curl_http.h"
#include "http/curl_listener.h"
#include "http/curl_workshop.h"
#include "http/http_base.h"
#include "http/http_mgr.h"
#include "support/server_log.h"
#include "support/test_servers.h"
#include "support/ui_pump.h"
#include "thread/main_thread_dispatcher.h"

// One transfer event as the listener saw it.
struct TransferEvent {
  enum Kind { Start, Header, RecvProgress, SendProgress, Done, Cancel } kind;
  int value = 0;  // status, byte count or libcurl result
  ProtoValue headers;
};

class RecordingListener : public CurlListener {
 public:
  void OnCurlDone(const CRefPtr<CCurlBase>&, int code) override { events.push_back({TransferEvent::Done, code, {}}); }
  void OnCurlRecvProgress(const CRefPtr<CCurlBase>&, uint32_t bytes) override {
    events.push_back({TransferEvent::RecvProgress, static_cast<int>(bytes), {}});
  }
  void OnCurlSendProgress(const CRefPtr<CCurlBase>&, uint32_t bytes) override {
    events.push_back({TransferEvent::SendProgress, static_cast<int>(bytes), {}});
  }
  void OnCurlHeader(const CRefPtr<CCurlBase>&, int code, const ProtoValue& headers) override {
    events.push_back({TransferEvent::Header, code, headers});
  }
  void OnCurlCancel(const CRefPtr<CCurlBase>&) override { events.push_back({TransferEvent::Cancel, 0, {}}); }
  void OnCurlStart(const CRefPtr<CCurlBase>&) override { events.push_back({TransferEvent::Start, 0, {}}); }

  bool Ended() const {
    for (const auto& event : events) {
      if (event.kind == TransferEvent::Done || event.kind == TransferEvent::Cancel) return true;
    }
    return false;
  }
  std::vector<TransferEvent> Of(TransferEvent::Kind kind) const {
    std::vector<TransferEvent> found;
    for (const auto& event : events) {
      if (event.kind == kind) found.push_back(event);
    }
    return found;
  }
  std::vector<TransferEvent::Kind> Kinds() const {
    std::vector<TransferEvent::Kind> kinds;
    for (const auto& event : events) kinds.push_back(event.kind);
    return kinds;
  }

  std::vector<TransferEvent> events;
};

// A GET or POST whose body lands in memory; records what reached it.
class FetchRequest : public CHttpBase {
 public:
  FetchRequest(CCurlWorkshop* workshop, CHttpMgr* mgr, std::wstring address) : CHttpBase(workshop, mgr) {
    url = std::move(address);
  }

  // Creates the attempt's transfer as a derived request does, without starting it.
  void MakeTransfer(CurlListener* listener) {
    ReleaseTransfer();
    auto* transfer = new CCurlHttp(workshop, listener);
    transfer->reportProgress = reportProgress;
    transfer->rangeRequested = rangeStart != 0 || rangeEnd != 0;
    auto output = std::make_unique<OBufferStream>();
    output_ = output.get();
    transfer->SetOutput(std::move(output));
    if (!postBody.empty()) {
      transfer->SetInput(std::make_unique<IBufferStream>(postBody.data(), static_cast<uint32_t>(postBody.size()), true));
    }
    curl = transfer;
  }

  ErrorPair Start() override {
    if (!started) MakeTransfer(mgr);
    return CHttpBase::Start();
  }
  void OnHeader(int httpCode, const ProtoValue& headers) override {
    CHttpBase::OnHeader(httpCode, headers);
    headerCodes.push_back(httpCode);
    if (httpCode < 300 || httpCode > 399) SetResult(error_type::kHttp, httpCode);
  }
  void OnProgress(int64_t bytes) override { progressBytes += bytes; }
  void Done(int32_t type, int32_t code) override {
    if (type == error_type::kCurl) SetResult(type, code);
    outcome = type == error_type::kCurl ? GetError() : ErrorPair{type, code};
    // Only a finished transfer is done writing; after a watchdog or header verdict the worker may
    // still be in the middle of a write.
    if (type == error_type::kCurl && output_ != nullptr && output_->GetData() != nullptr) {
      body.assign(reinterpret_cast<const char*>(output_->GetData()), output_->GetLength());
    }
    output_ = nullptr;
    ++doneCount;
    Stop();
  }

  bool reportProgress = false;
  std::string postBody;
  std::string body;
  std::vector<int> headerCodes;
  int64_t progressBytes = 0;
  int doneCount = 0;
  ErrorPair outcome;

 private:
  OBufferStream* output_ = nullptr;
};

class TransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    servers = TestServers();
    ASSERT_EQ(servers.size(), 3u) << "run this suite through ctest (tools/run_with_test_servers.py)";
    for (const auto& server : servers) ClearServerLog(server);
    InitMainThreadDispatcher();
    workshop.Init();
  }
  void TearDown() override {
    workshop.DestroyThread(platform::kWaitInfinite);
    workshop.UnInit();
    UninitMainThreadDispatcher();
  }

  // A transfer for `address` prepared by a request's settings, listened to by `listener`.
  CRefPtr<CCurlBase> Prepared(FetchRequest& request, CurlListener* listener) {
    request.MakeTransfer(listener);
    request.Prepare();
    return request.curl;
  }

  std::vector<TestServer> servers;
  CCurlWorkshop workshop;
};
