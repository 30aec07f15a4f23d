// The block bookkeeping: free ranges, cutting and handing out blocks, the downloaded size.
#include "engine/download_task.h"

#include <algorithm>

#include "logger/log.h"
#include "util/format.h"

void CDownloadTask::GetFreeRanges(FreeRangeMode mode, RangeList& out) const {
  out.CopyFrom(gaps_);
  for (const auto& block : blocks_) {
    if (mode == FreeRangeMode::WholeBlocks) {
      out.SubtractRange(block->start, block->end);
    } else if (block->received > 0) {
      // A peer that reports more than its block must not count bytes beyond the block.
      const uint64_t length = block->end - block->start;  // bytes minus one
      const uint64_t received = std::min<uint64_t>(block->received - 1, length);
      out.SubtractRange(block->start, block->start + received);
    }
  }
}

bool CDownloadTask::ChooseEmptyBlock(BlockRequest& block, bool isHttpPeer) const {
  RangeList free;
  GetFreeRanges(FreeRangeMode::WholeBlocks, free);
  if (free.IsEmpty()) return false;
  const ByteRange& first = free.Ranges().front();
  const uint64_t size = isHttpPeer ? kHttpBlockSize : kOtherBlockSize;
  block.start = first.start;
  block.end = first.end - first.start >= size ? first.start + size - 1 : first.end;
  return true;
}

CDownloadPeer* CDownloadTask::FindIdlePeer() const {
  for (const auto& peer : peers_) {
    if (!peer->busy) return peer.get();
  }
  return nullptr;
}

bool CDownloadTask::DownloadNextEmptyBlock() {
  CDownloadPeer* peer = FindIdlePeer();
  if (peer == nullptr) {
    LOG_INFO(L"DownloadNextEmptyBlock 目前没有空闲的源");
    return false;
  }
  // The HTTP peer is the only kind that is not peer-to-peer.
  const bool isHttpPeer = !peer->IsP2P();
  const std::wstring description = isHttpPeer ? FormatW(L"p2p:0 url:%s", peer->GetUrl()) : std::wstring();

  auto block = std::make_unique<BlockRequest>();
  if (!ChooseEmptyBlock(*block, isHttpPeer)) {
    LOG_INFO(L"DownloadNextEmptyBlock %s 选取空白文件块失败  %s", peer->dataPath, DescribeBlocks());
    return false;
  }
  const int peerCount = static_cast<int>(peers_.size());
  if (peer->RequestBlock(block.get())) {
    LOG_INFO(L"%s 选取空白文件块成功 %s DownloadNextEmptyBlock %lld-%lld peer_count:%d", description,
             peer->dataPath, block->start, block->end, peerCount);
    blocks_.push_back(std::move(block));
    return true;
  }
  LOG_INFO(L"%s DownloadNextEmptyBlock 失败 %s DownloadNextEmptyBlock %lld-%lld peer_count:%d",
           description, peer->dataPath, block->start, block->end, peerCount);
  // The block record goes away here: a peer must not keep pointing at it.
  if (peer->block == block.get()) peer->block = nullptr;
  if (peer->busy) {
    peer->StopRequest();
    DropPeer(peer);
  }
  return false;
}

bool CDownloadTask::RemoveRequestBlock(uint64_t s, uint64_t e) {
  if (s > e) return false;
  bool removed = false;
  for (auto it = blocks_.begin(); it != blocks_.end();) {
    if ((*it)->start <= s && e <= (*it)->end) {
      // Peers still holding the record must not see it after it is gone.
      for (auto& peer : peers_) {
        if (peer->block == it->get()) peer->block = nullptr;
      }
      it = blocks_.erase(it);
      removed = true;
    } else {
      ++it;
    }
  }
  return removed;
}

uint64_t CDownloadTask::GetDownloadedSize() const {
  if (expectedSize_ == 0) return 0;
  const uint64_t last = expectedSize_ - 1;
  if (gaps_.IsEmptyUpTo(last)) return expectedSize_;
  RangeList missing;
  GetFreeRanges(FreeRangeMode::ReceivedParts, missing);
  return expectedSize_ - std::min(missing.CountUpTo(last), expectedSize_);
}

std::wstring CDownloadTask::DescribeBlocks() const {
  std::wstring text = L"block(";
  for (const auto& block : blocks_) text += FormatW(L" %lld-%lld", block->start, block->end);
  text += L") gap(";
  for (const ByteRange& range : gaps_.Ranges()) text += FormatW(L" %lld-%lld", range.start, range.end);
  text += L")";
  return text;
}

void CDownloadTask::DropPeer(CDownloadPeer* peer) {
  peers_.remove_if([peer](const std::unique_ptr<CDownloadPeer>& p) { return p.get() == peer; });
}
