#pragma once
// One attempt of an HTTP request: an easy handle and the listener that hears about it. Shared by
// reference count between the UI thread, the curl worker's lists and the events posted to the UI
// thread, so it lives until the last of them lets go.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "thread/ref_counted.h"

class CCurlWorkshop;
class CurlListener;

class CCurlBase : public CRefThreadSafeBase<CCurlBase> {
 public:
  CCurlBase(CCurlWorkshop* workshop, CurlListener* listener);
  virtual ~CCurlBase();
  CCurlBase(const CCurlBase&) = delete;
  CCurlBase& operator=(const CCurlBase&) = delete;

  // Called on the worker thread by libcurl; each returns the bytes it took or supplied.
  virtual size_t OnRecieveHeader(const char* data, size_t length) = 0;
  virtual size_t OnRecieveBody(const char* data, size_t length) = 0;
  virtual size_t OnSendBody(char* buffer, size_t length) = 0;
  virtual void CloseStreams() = 0;

  bool IsAlive() const { return alive.load(std::memory_order_acquire); }
  void Retire() { alive.store(false, std::memory_order_release); }

  // The three libcurl callbacks; the user data is the transfer.
  static size_t HeaderCallback(char* data, size_t size, size_t count, void* userData);
  static size_t WriteCallback(char* data, size_t size, size_t count, void* userData);
  static size_t ReadCallback(char* buffer, size_t size, size_t count, void* userData);

  void* easy = nullptr;  // libcurl easy handle
  CurlListener* listener;
  // Cleared by the owning request on the UI thread; the worker then cancels the transfer and the
  // callbacks refuse data. Only goes from true to false.
  std::atomic<bool> alive{true};
  CCurlWorkshop* workshop;
  bool reportProgress = false;  // set before the transfer is handed over
  // Worker thread only.
  uint64_t pendingBytes = 0;
  uint32_t lastProgressTick = 0;
};
