#pragma once
// One source of a download task: takes one block at a time and reports its result to the task.
#include <cstdint>
#include <string>

#include "engine/block_request.h"
#include "engine/speed_sampler.h"

class CDownloadPeer {
 public:
  virtual ~CDownloadPeer() = default;

  // Takes `block` (owned by the task) and queues its transfer; false when it cannot.
  virtual bool RequestBlock(BlockRequest* block) = 0;
  // Cancels the running transfer and forgets the block.
  virtual void StopRequest() = 0;
  virtual std::wstring GetServerIp() { return std::wstring(); }
  virtual std::wstring GetHost() { return std::wstring(); }
  // The server this source counts its bytes and time under; empty when it has none.
  virtual std::wstring GetSourceName() { return std::wstring(); }
  virtual bool IsP2P() = 0;
  // The address the source fetches from, for log lines; empty for a source without one.
  virtual std::wstring GetUrl() { return std::wstring(); }
  // An HTTP source: its bytes and time are counted per server, its failures and retries recorded.
  virtual bool IsHttpPeer() const { return false; }
  // The third-party CDN source a task adds when its own servers are too slow or gone.
  virtual bool IsCdn() const { return false; }
  // The source has followed a redirect to another server.
  virtual bool IsRedirected() const { return false; }

  std::wstring dataPath;
  bool busy = false;  // a block request is in flight
  std::wstring key;   // ties the peer to its task
  SpeedSampler sampler;
  BlockRequest* block = nullptr;  // the block being fetched; the task owns it
  // Start of the time not yet counted for this source; 0 until the first block request.
  uint32_t firstRequestTick = 0;

 protected:
  CDownloadPeer() = default;
  CDownloadPeer(const CDownloadPeer&) = delete;
  CDownloadPeer& operator=(const CDownloadPeer&) = delete;
};
