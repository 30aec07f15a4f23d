#include "engine/http_peer_factory.h"

#include "engine/http_download_peer.h"

std::unique_ptr<CDownloadPeer> MakeHttpDownloadPeer(const PeerSpec& spec) {
  auto peer = std::make_unique<CHttpDownloadPeer>(std::string(), spec.url, spec.dataPath, spec.pinned);
  peer->key = spec.key;
  peer->verifyHost = spec.verifyHost;
  peer->isCdn = spec.isCdn;
  if (spec.pinned) peer->SetIp(spec.host, spec.ip, spec.port);
  return peer;
}
