#pragma once
// How a task gets its sources: it describes each one and the engine builds it. The engine installs
// the factory of real HTTP sources; tests give their own.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/download_peer.h"

struct PeerSettings {
  std::wstring url;
  std::wstring dataPath;   // the task's data file
  std::wstring key;        // the task's MD5 text
  bool pinned = false;     // connect to `ip`:`port` whatever the host name resolves to
  bool verifyHost = true;  // check the TLS server name of an https URL
  bool isCdn = false;
  std::wstring host;  // host of `url`
  std::wstring ip;    // the pinned address, when `pinned`
  uint16_t port = 0;  // port of `url`
};

// A fully set up source, or null when it cannot be built.
using PeerFactory = std::function<std::unique_ptr<CDownloadPeer>(const PeerSettings&)>;
