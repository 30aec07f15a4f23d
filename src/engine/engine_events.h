#pragma once
// The events sources publish through the event hub, and the members their values carry.
#include <cstdint>

#include "commonlib/core/proto_value.h"
#include "engine/download_peer.h"

namespace engine_event {

// a, b: the block's error pair. Value: "peer", "full_name".
inline constexpr int32_t kRangeDone = 5;
// a, b: 0. Value: "peer", "full_name", "server_ip".
inline constexpr int32_t kSourceResolved = 6;
// a, b: 0. Value: "peer", "full_name", "log_name" (the source name before the redirect), "location".
inline constexpr int32_t kSourceRedirected = 7;
// a, b: 0. Value: "peer", "full_name", "et", "ec", "times" (the attempt count).
inline constexpr int32_t kSourceRetry = 9;

inline constexpr wchar_t kPeer[] = L"peer";
inline constexpr wchar_t kFullName[] = L"full_name";
inline constexpr wchar_t kServerIp[] = L"server_ip";
inline constexpr wchar_t kLogName[] = L"log_name";
inline constexpr wchar_t kLocation[] = L"location";
inline constexpr wchar_t kErrorType[] = L"et";
inline constexpr wchar_t kErrorCode[] = L"ec";
inline constexpr wchar_t kTimes[] = L"times";

// The "peer" member: the peer's address as an integer. Receivers compare it with the peers they
// hold and never turn it back into a pointer.
inline int64_t PeerId(const CDownloadPeer* peer) {
  return static_cast<int64_t>(reinterpret_cast<intptr_t>(peer));
}

// A value with the members every event carries: "peer" and "full_name".
inline ProtoValue PeerEventValue(const CDownloadPeer& peer) {
  ProtoValue value(ProtoValueType::Map);
  value[kPeer] = PeerId(&peer);
  value[kFullName] = peer.dataPath;
  return value;
}

}  // namespace engine_event
