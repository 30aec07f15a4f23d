// The command transport pair: the curl worker and scheduler of the HTTP commands.
#include "http/curl_workshop.h"
#include "http/http_base.h"
#include "http/http_mgr.h"
#include "platform/thread.h"

namespace {

CCurlWorkshop* gCommandWorkshop = nullptr;
CHttpMgr* gCommandMgr = nullptr;

}  // namespace

bool CHttpMgr::CreateCommandTransport() {
  if (gCommandWorkshop == nullptr) {
    gCommandWorkshop = new CCurlWorkshop();
    gCommandWorkshop->Init();
    gCommandWorkshop->Start();
  }
  if (gCommandMgr == nullptr) gCommandMgr = new CHttpMgr(kDefaultMaxRunning);
  return true;
}

bool CHttpMgr::DestroyCommandTransport() {
  if (gCommandWorkshop != nullptr) {
    gCommandWorkshop->DestroyThread(platform::kWaitInfinite);
    gCommandWorkshop->UnInit();
    delete gCommandWorkshop;
    gCommandWorkshop = nullptr;
  }
  if (gCommandMgr != nullptr) {
    gCommandMgr->DetachRequests();
    delete gCommandMgr;
    gCommandMgr = nullptr;
  }
  return true;
}

CCurlWorkshop* CHttpMgr::CommandWorkshop() { return gCommandWorkshop; }
CHttpMgr* CHttpMgr::CommandMgr() { return gCommandMgr; }

bool CHttpMgr::HasRequest(const CHttpBase* request) { return gCommandMgr != nullptr && gCommandMgr->Holds(request); }
