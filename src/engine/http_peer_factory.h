#pragma once
// The factory of real sources: HTTP download peers on the download transport.
#include <memory>

#include "engine/peer_factory.h"

std::unique_ptr<CDownloadPeer> MakeHttpDownloadPeer(const PeerSettings& peerSettings);
