#pragma once
// A download of one file from several peers at once. This part keeps the block bookkeeping: the
// byte ranges still missing, the blocks in flight, and how an idle peer gets its next block.
#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "engine/block_request.h"
#include "engine/byte_range.h"
#include "engine/download_peer.h"

enum class FreeRangeMode {
  WholeBlocks,    // ranges no block covers: where a new block may be cut
  ReceivedParts,  // ranges not yet on disk, counting what blocks in flight have received
};

class CDownloadTask {
 public:
  using PeerList = std::list<std::unique_ptr<CDownloadPeer>>;
  using BlockList = std::list<std::unique_ptr<BlockRequest>>;

  explicit CDownloadTask(uint64_t expectedSize);
  virtual ~CDownloadTask();
  CDownloadTask(const CDownloadTask&) = delete;
  CDownloadTask& operator=(const CDownloadTask&) = delete;

  void GetFreeRanges(FreeRangeMode mode, RangeList& out) const;
  // Cuts the next block from the first free range; false when every missing byte is taken.
  bool ChooseEmptyBlock(BlockRequest& block, bool isHttpPeer) const;
  CDownloadPeer* FindIdlePeer() const;
  // Hands at most one block to the first idle peer; true when a block went out.
  bool DownloadNextEmptyBlock();
  // Drops every block that lies inside [s, e]; true when one was dropped.
  bool RemoveRequestBlock(uint64_t s, uint64_t e);
  // Bytes on disk, including those received by blocks still in flight.
  uint64_t GetDownloadedSize() const;
  std::wstring DescribeBlocks() const;

  uint64_t ExpectedSize() const { return expectedSize_; }
  RangeList& Gaps() { return gaps_; }
  const RangeList& Gaps() const { return gaps_; }
  const BlockList& Blocks() const { return blocks_; }
  PeerList& Peers() { return peers_; }
  const PeerList& Peers() const { return peers_; }

 private:
  void DropPeer(CDownloadPeer* peer);

  uint64_t expectedSize_;
  RangeList gaps_;
  // Declared before the peers so that the peers, which point into it, go first.
  BlockList blocks_;
  PeerList peers_;
};
