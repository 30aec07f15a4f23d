#pragma once
// The request scheduler: starts registered requests in registration order, higher priority first,
// while fewer than its limit run; hears every event of their transfers and hands it to the request
// that owns the transfer; ends requests that made no progress for too long and releases deferred
// ones. UI thread only.
#include <cstdint>
#include <list>

#include "http/curl_listener.h"

class CHttpBase;
class CCurlWorkshop;

class CHttpMgr : public CurlListener {
 public:
  static constexpr int32_t kDefaultMaxRunning = 10;

  explicit CHttpMgr(int32_t maxRunning = kDefaultMaxRunning);
  ~CHttpMgr() override;

  // The application's 500 ms tick: every scheduler resumes its deferred requests, and on every
  // second tick (`tickCount` even) first checks its timeouts.
  static void TickAll(uint32_t tickCount);

  void OnCurlDone(const CRefPtr<CCurlBase>& transfer, int curlCode) override;
  void OnCurlRecvProgress(const CRefPtr<CCurlBase>& transfer, uint32_t bytes) override;
  void OnCurlSendProgress(const CRefPtr<CCurlBase>& transfer, uint32_t bytes) override;
  void OnCurlHeader(const CRefPtr<CCurlBase>& transfer, int httpCode, const ProtoValue& headers) override;
  void OnCurlCancel(const CRefPtr<CCurlBase>& transfer) override;
  void OnCurlStart(const CRefPtr<CCurlBase>& transfer) override;

  // Registers `request` and returns its id; an already registered request keeps its id.
  uint64_t AddRequest(CHttpBase* request);
  bool RemoveRequest(CHttpBase* request);
  void Schedule();
  // Ends requests whose transfer has been silent for longer than their timeout, as of `now`.
  void CheckTimeouts();
  void CheckTimeouts(uint32_t now);
  void ResumeDeferred();
  // Forgets every request without stopping it; they no longer point to this scheduler.
  void DetachRequests();

  // The first registered request whose transfer is `transfer`.
  CHttpBase* FindRequest(const CCurlBase* transfer) const;
  bool Holds(const CHttpBase* request) const;

  // The command transport pair (worker and scheduler), created at start-up and destroyed at exit.
  static bool CreateCommandTransport();
  static bool DestroyCommandTransport();
  static CCurlWorkshop* CommandWorkshop();
  static CHttpMgr* CommandMgr();
  // Whether the command scheduler exists and holds `request`.
  static bool HasRequest(const CHttpBase* request);

  std::list<CHttpBase*> requests;
  int32_t maxRunning;
  int32_t running = 0;
};
