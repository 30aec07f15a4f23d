#include "engine/download_transport.h"

#include "http/transport_pair.h"

namespace {

TransportPair gDownloads;

}  // namespace

bool CreateDownloadTransport() { return gDownloads.Create(); }
bool DestroyDownloadTransport() { return gDownloads.Destroy(); }
CCurlWorkshop* DownloadWorkshop() { return gDownloads.workshop; }
CHttpMgr* DownloadMgr() { return gDownloads.mgr; }
