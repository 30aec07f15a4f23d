// The command transport pair: the curl worker and scheduler of the HTTP commands.
#include "http/http_mgr.h"
#include "http/transport_pair.h"

namespace {

TransportPair gCommands;

}  // namespace

bool CHttpMgr::CreateCommandTransport() { return gCommands.Create(); }
bool CHttpMgr::DestroyCommandTransport() { return gCommands.Destroy(); }
CCurlWorkshop* CHttpMgr::CommandWorkshop() { return gCommands.workshop; }
CHttpMgr* CHttpMgr::CommandMgr() { return gCommands.mgr; }

bool CHttpMgr::HasRequest(const CHttpBase* request) { return gCommands.mgr != nullptr && gCommands.mgr->Holds(request); }
