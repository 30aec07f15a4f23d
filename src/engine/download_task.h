#pragma once
// A download of one file from several peers at once. This part keeps the block bookkeeping: the
// byte ranges still missing, the blocks in flight, and how an idle peer gets its next block; and
// the task's files: the data file at full length, the meta file that lets it resume, and the
// final rename.
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>

#include "engine/block_request.h"
#include "engine/byte_range.h"
#include "engine/download_peer.h"
#include "engine/task_log.h"
#include "engine/task_meta_file.h"
#include "thread/ref_counted.h"

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

  // The file to produce, and the expected MD5 text as the caller gave it.
  void SetTarget(const std::wstring& directory, const std::wstring& fileName, const std::wstring& md5);
  std::wstring GetFullPath() const;
  std::wstring GetDataFilePath() const;
  std::wstring GetMetaFilePath() const;

  // Creates or opens the data file and gives it exactly the expected length, keeping what it holds.
  bool CreateEmptyFile();
  // Writes the resumable state: the gaps less what blocks in flight have received, the counters
  // and the task log.
  void SaveMeta();
  // Restores the state SaveMeta wrote. False, with nothing restored, when there is no usable
  // record: the file is missing or damaged, or it was saved for another size or hash.
  bool LoadMeta();
  void DeleteMeta() { meta_.Delete(); }
  // Moves the finished data file onto the final path (retrying while it is held) and deletes the
  // meta file. 0 on success, else the system error code; the meta file is kept then. A data file
  // that is already gone counts as success.
  uint32_t MoveDataFileToFinalPath();
  // The same with the waits between attempts handed to `sleep`.
  uint32_t MoveDataFileToFinalPath(const std::function<void(uint32_t milliseconds)>& sleep);

  uint64_t ExpectedSize() const { return expectedSize_; }
  RangeList& Gaps() { return gaps_; }
  const RangeList& Gaps() const { return gaps_; }
  const BlockList& Blocks() const { return blocks_; }
  PeerList& Peers() { return peers_; }
  const PeerList& Peers() const { return peers_; }
  const std::wstring& Md5() const { return md5_; }
  uint64_t P2pBytes() const { return p2pBytes_; }
  void SetP2pBytes(uint64_t bytes) { p2pBytes_ = bytes; }
  // Download time of the earlier runs; the current run started at RunStartTick.
  uint64_t ElapsedMs() const { return elapsedMs_; }
  void SetElapsedMs(uint64_t ms) { elapsedMs_ = ms; }
  uint32_t RunStartTick() const { return runStartTick_; }
  void SetRunStartTick(uint32_t tick) { runStartTick_ = tick; }
  bool UsedCdn() const { return usedCdn_; }
  void SetUsedCdn(bool used) { usedCdn_ = used; }
  TaskLog& Log() { return *taskLog_; }
  const TaskLog& Log() const { return *taskLog_; }
  CTaskMetaFile& Meta() { return meta_; }

 private:
  void DropPeer(CDownloadPeer* peer);

  uint64_t expectedSize_;
  std::wstring directory_;
  std::wstring fileName_;
  std::wstring md5_;
  uint64_t p2pBytes_ = 0;  // received from sources that are not HTTP
  uint64_t elapsedMs_ = 0;
  uint32_t runStartTick_ = 0;
  bool usedCdn_ = false;
  CTaskMetaFile meta_;
  CRefPtr<TaskLog> taskLog_;
  RangeList gaps_;
  // Declared before the peers so that the peers, which point into it, go first.
  BlockList blocks_;
  PeerList peers_;
};
