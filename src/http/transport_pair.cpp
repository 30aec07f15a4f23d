#include "http/transport_pair.h"

#include "http/curl_workshop.h"
#include "http/http_mgr.h"
#include "platform/thread.h"

bool TransportPair::Create() {
  if (workshop == nullptr) {
    workshop = new CCurlWorkshop();
    workshop->Init();
    workshop->Start();
  }
  if (mgr == nullptr) mgr = new CHttpMgr(CHttpMgr::kDefaultMaxRunning);
  return true;
}

bool TransportPair::Destroy() {
  if (workshop != nullptr) {
    workshop->DestroyThread(platform::kWaitInfinite);
    workshop->UnInit();
    delete workshop;
    workshop = nullptr;
  }
  if (mgr != nullptr) {
    mgr->DetachRequests();
    delete mgr;
    mgr = nullptr;
  }
  return true;
}
