#pragma once
// The HTTP source of a download task: one request object that fetches the task's blocks one at a
// time with byte-range requests on the download transport, checks each response, follows or
// applies redirects, retries stalls and transport errors a limited number of times, and reports
// each block's result as an engine event. UI thread only.
#include <cstdint>
#include <string>

#include "engine/download_peer.h"
#include "http/http_base.h"

class CHttpDownloadPeer : public CDownloadPeer, public CHttpBase {
 public:
  // On the download transport (DownloadWorkshop/DownloadMgr); `options` is kept for the record.
  CHttpDownloadPeer(const std::string& options, const std::wstring& url, const std::wstring& dataPath, bool isIpPeer);
  ~CHttpDownloadPeer() override;

  // CDownloadPeer
  bool RequestBlock(BlockRequest* block) override;
  void StopRequest() override;
  std::wstring GetServerIp() override { return serverIp; }
  std::wstring GetHost() override;
  std::wstring GetSourceName() override;
  bool IsP2P() override { return false; }
  std::wstring GetUrl() override { return url; }
  bool IsHttpPeer() const override { return true; }
  bool IsCdn() const override { return isCdn; }
  bool IsRedirected() const override { return redirected; }

  // CHttpBase
  void SetIp(const std::wstring& host, const std::wstring& ip, uint32_t port) override;
  ErrorPair Start() override;
  void Done(int32_t errorType, int32_t errorCode) override;
  void OnHeader(int httpCode, const ProtoValue& headers) override;
  void OnProgress(int64_t bytes) override;

  uint32_t SampleSpeed();

  bool isCdn = false;
  bool isIpPeer;
  std::wstring serverIp;
  std::wstring savedLocation;

 private:
  void Publish(int32_t type, int32_t a, int32_t b, const ProtoValue& value);
  // Back to the download scheduler, which starts it again after the retry delay.
  void Requeue();

  std::string options_;
};
