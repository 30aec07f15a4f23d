#pragma once
// A curl worker with the scheduler of its requests. The system has two: one for HTTP commands and
// one for the download sources.
class CCurlWorkshop;
class CHttpMgr;

struct TransportPair {
  // Creates what is missing: the worker (initialised, its thread started) and the scheduler.
  bool Create();
  // Stops and frees the worker, then detaches the scheduler's requests and frees it.
  bool Destroy();

  CCurlWorkshop* workshop = nullptr;
  CHttpMgr* mgr = nullptr;
};
