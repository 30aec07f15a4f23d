#pragma once
// Receives the events of transfers, on the UI thread, in the order the curl worker posted them.
#include <cstdint>

#include "commonlib/core/proto_value.h"
#include "thread/ref_counted.h"

class CCurlBase;

class CurlListener {
 public:
  CurlListener(const CurlListener&) = delete;
  CurlListener& operator=(const CurlListener&) = delete;

  virtual void OnCurlDone(const CRefPtr<CCurlBase>& transfer, int curlCode) = 0;
  virtual void OnCurlRecvProgress(const CRefPtr<CCurlBase>& transfer, uint32_t bytes) = 0;
  virtual void OnCurlSendProgress(const CRefPtr<CCurlBase>& transfer, uint32_t bytes) = 0;
  // A header block ended, or a line of an error response arrived (then `headers` is null).
  virtual void OnCurlHeader(const CRefPtr<CCurlBase>& transfer, int httpCode, const ProtoValue& headers) = 0;
  virtual void OnCurlCancel(const CRefPtr<CCurlBase>& transfer) = 0;
  virtual void OnCurlStart(const CRefPtr<CCurlBase>& transfer) = 0;

  // Whether `listener` still exists. Events queued for the UI thread can outlive the listener
  // they name (a scheduler torn down at exit); they are dropped instead of reaching freed memory.
  static bool IsAlive(const CurlListener* listener);

 protected:
  CurlListener();
  virtual ~CurlListener();
};
