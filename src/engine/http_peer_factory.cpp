#include "engine/http_peer_factory.h"

#include "engine/http_download_peer.h"

std::unique_ptr<CDownloadPeer> MakeHttpDownloadPeer(const PeerSettings& peerSettings) {
  auto peer = std::make_unique<CHttpDownloadPeer>(std::string(), peerSettings.url, peerSettings.dataPath, peerSettings.pinned);
  peer->key = peerSettings.key;
  peer->verifyHost = peerSettings.verifyHost;
  peer->isCdn = peerSettings.isCdn;
  if (peerSettings.pinned) peer->SetIp(peerSettings.host, peerSettings.ip, peerSettings.port);
  return peer;
}
