#pragma once
// A download of one file from several peers at once: the sources it starts with and the CDN it
// may switch to, the block results and source notes the queue routes to it, the one-second tick,
// and the completion that hands over the report and destroys the task. The block bookkeeping: the
// byte ranges still missing, the blocks in flight, and how an idle peer gets its next block; and
// the task's files: the data file at full length, the meta file that lets it resume, and the
// final rename. UI thread only.
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "engine/block_request.h"
#include "engine/byte_range.h"
#include "engine/download_callbacks.h"
#include "engine/download_peer.h"
#include "engine/download_task_environment.h"
#include "engine/task_log.h"
#include "engine/task_meta_file.h"
#include "engine/task_statistics_source.h"
#include "thread/ref_counted.h"

// What to download and from where.
struct DownloadTaskSettings {
  std::wstring url;
  std::wstring ipList;  // spare server addresses separated by ";"
  std::wstring cdnHost;  // empty: no CDN
  int64_t cdnMinSpeed = 0;  // bytes per second the own servers must beat to keep the CDN away
  std::wstring fullPath;  // the file to produce
  std::wstring md5;
  uint64_t expectedSize = 0;
  std::string options;  // JSON text whose members go into the statistics record
};

enum class FreeRangeMode {
  WholeBlocks,    // ranges no block covers: where a new block may be cut
  ReceivedParts,  // ranges not yet on disk, counting what blocks in flight have received
};

class CDownloadTask : public ITaskStatisticsSource {
 public:
  using PeerList = std::list<std::unique_ptr<CDownloadPeer>>;
  using BlockList = std::list<std::unique_ptr<BlockRequest>>;

  // Sources created at start: the domain source and up to two pinned ones. The no-source and
  // slow-speed limits of the tick are the engine's limits (engine_limits.h).
  static constexpr size_t kMaxSources = 3;

  CDownloadTask(const DownloadTaskSettings& settings, DownloadTaskEnvironment environment);
  // A task with only a size, for the block and file bookkeeping; SetTarget names its file.
  explicit CDownloadTask(uint64_t expectedSize);
  ~CDownloadTask() override;
  CDownloadTask(const CDownloadTask&) = delete;
  CDownloadTask& operator=(const CDownloadTask&) = delete;

  void SetCallbacks(uintptr_t userData, DownloadProgressCallback onProgress,
                    DownloadCompleteCallback onComplete);

  // Resumes or starts afresh and adds the sources. May complete the task, which destroys it:
  // the caller must not touch the task after this returns. False when the task is already
  // running or ended with a failure at once.
  bool StartTask();
  // Counts the sources' time, saves the meta file and drops every source. False when idle.
  bool StopTask();
  // Records the pause in the history; the queue calls it before a cancel.
  void NotePause();
  // The one-second tick. False when the task has had no source for too long.
  bool OnTimer();
  bool OnTimer(uint32_t now);

  // Source results and notes, routed here by the queue. OnRangeCompleted may complete and
  // destroy the task.
  void OnRangeCompleted(CDownloadPeer* peer, int32_t errorType, int32_t errorCode);
  void OnSourceResolved(CDownloadPeer* peer);
  void OnSourceRedirected(const std::wstring& sourceName, const std::wstring& location);
  void OnSourceRetry(CDownloadPeer* peer, int32_t errorType, int32_t errorCode, int32_t attempt);
  // Ends the task: records it, stops, hands over the report, renames the data file on success,
  // calls back and has the owner destroy the task.
  void OnTaskCompleted(int32_t code);

  bool AddPeer(std::unique_ptr<CDownloadPeer> peer);
  bool HasPeer(const CDownloadPeer* peer) const;
  // Some source is not peer-to-peer.
  bool HasHttpPeer() const;
  // Stops and drops every source and every block, and forgets the gaps.
  void ResetSources();
  // Adds the CDN source (once per task) and records `text` as the reason.
  void SwitchToCdn(const std::wstring& text);

  TaskStatisticsFacts GetStatisticsFacts() const override;

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
  const std::wstring& Url() const { return url_; }
  const std::vector<std::wstring>& IpList() const { return ipList_; }
  bool IsRunning() const { return state_ == 1; }
  int32_t Status() const { return status_; }  // 0 running or idle, 1 succeeded, 2 failed
  bool CdnSwitched() const { return cdnSwitched_; }
  TaskLog& Log() { return *taskLog_; }
  const TaskLog& Log() const { return *taskLog_; }
  CTaskMetaFile& Meta() { return meta_; }

 private:
  void DropPeer(CDownloadPeer* peer);
  // The source on the task's URL and up to two sources pinned to spare addresses.
  void AddInitialSources();
  std::unique_ptr<CDownloadPeer> MakePeer(const std::wstring& url, bool pinned, const std::wstring& ip,
                                          bool isCdn) const;
  // Whole percent of the file on disk.
  int32_t ProgressPercent(uint64_t downloaded) const;
  // The sum of the HTTP sources' last mean speeds.
  uint64_t HttpSpeed() const;
  // Records an event and writes the finished line to the log as well.
  void RecordLoggedEvent(const std::wstring& category, const std::wstring& text);

  DownloadTaskEnvironment environment_;
  std::wstring url_;
  std::vector<std::wstring> ipList_;  // sorted
  std::wstring cdnHost_;
  int64_t cdnMinSpeed_ = 0;
  std::string options_;
  uintptr_t userData_ = 0;
  DownloadProgressCallback onProgress_;
  DownloadCompleteCallback onComplete_;
  int32_t state_ = 0;   // 0 idle, 1 running
  int32_t status_ = 0;  // 1 succeeded, 2 failed
  uint32_t lastFastTick_ = 0;  // last tick the own servers were fast enough
  bool noSourceWatch_ = false;  // counting the time without any source since noSourceTick_
  uint32_t noSourceTick_ = 0;
  bool cdnSwitched_ = false;
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
