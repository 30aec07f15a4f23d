#pragma once
// The curl worker: a thread that owns one libcurl multi handle and drives every transfer handed to
// it, posting each transfer's events to the UI thread. It blocks in libcurl's poll while nothing
// happens and is woken at once when a transfer is handed over or cancelled or a stop is requested,
// so an idle worker costs nothing and a new transfer starts without delay.
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>

#include "http/curl_base.h"
#include "thread/critical_lock.h"
#include "thread/simple_thread.h"

class CCurlWorkshop : public CSimpleThread {
 public:
  CCurlWorkshop() = default;
  ~CCurlWorkshop() override;

  // Creates the multi handle; a second call does nothing.
  void Init();
  // Takes every running transfer out and destroys the multi handle; no events. The thread must
  // have been stopped first.
  void UnInit();
  // UI thread. False when the worker has no multi handle (the transfer never runs).
  bool AddTransfer(const CRefPtr<CCurlBase>& transfer);
  bool CancelTransfer(const CRefPtr<CCurlBase>& transfer);

  void Run() override;

  // Worker thread: body bytes the write callbacks took during the current pass.
  void CountReceived(uint64_t bytes) { receivedThisPass_ += bytes; }

 protected:
  void OnStopRequested() override;

 private:
  using TransferList = std::list<CRefPtr<CCurlBase>>;

  // Moves transfers into and out of the multi handle; then lets libcurl work. The number of
  // running transfers libcurl reported.
  int PerformStep();
  void QueueStep();
  // Handles finished transfers; the number of finish messages seen.
  int CompletionStep();
  // Caller holds the lock. Removes `transfer` from `running_`, or else from `pending_`.
  void Unlist(const CCurlBase* transfer);
  void WakeWorker();
  // While transfers trickle in (a few packets per pass), waits a moment so that the next pass
  // handles a batch instead of one packet; new work or a stop ends the wait at once.
  void PauseWhileTrickling(int running);

  void* multi_ = nullptr;  // libcurl multi handle
  TransferList pending_;    // handed over, not yet in the multi handle
  TransferList running_;    // in the multi handle; changed only by the worker
  TransferList cancelled_;  // to be cancelled
  TransferList retired_;    // cancelled; their easy handles still to be cleaned up
  CCriticalLock lock_;      // guards multi_ and the lists

  uint64_t receivedThisPass_ = 0;  // worker thread only
  std::mutex pauseLock_;
  std::condition_variable pauseEnded_;
  bool workArrived_ = false;  // guarded by pauseLock_
};
