#pragma once
// A queue of its own with scripted sources, a recording statistics sink and a scratch directory,
// for the task and queue tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/download_task_queue.h"
#include "engine/event_hub.h"
#include "engine/scripted_peer.h"
#include "support/file_test_support.h"
#include "support/trace_lines.h"

class EngineTest : public ::testing::Test {
 protected:
  static constexpr uint64_t kSize = 3000000;  // three blocks: two whole, one of 378,720 bytes
  static constexpr uintptr_t kUserData = 0x5150;
  static constexpr wchar_t kUrl[] = L"http://dl.example.test:8080/pkg/game.exe";
  static constexpr wchar_t kMd5[] = L"0123456789abcdef0123456789abcdef";

  struct Completion {
    uintptr_t userData;
    int32_t errorType;
    int32_t errorCode;
  };
  struct Progress {
    uintptr_t userData;
    uint64_t total;
    uint64_t completed;
    uint32_t speed;
  };

  EngineTest() {
    queue.SetPeerFactory(peers.Factory());
    queue.SetStatisticsSink(&sink);
    hub.Register(&queue);
  }

  DownloadTaskSettings Settings(const std::wstring& name = L"game.exe", uint64_t size = kSize) const {
    DownloadTaskSettings settings;
    settings.url = kUrl;
    settings.fullPath = dir / name;
    settings.md5 = kMd5;
    settings.expectedSize = size;
    return settings;
  }

  bool Add(const DownloadTaskSettings& settings) {
    return queue.AddDownloadFile(
        settings, kUserData,
        [this](uintptr_t userData, uint64_t total, uint64_t completed, uint32_t speed) {
          progress.push_back({userData, total, completed, speed});
        },
        [this](uintptr_t userData, int32_t errorType, int32_t errorCode) {
          completions.push_back({userData, errorType, errorCode});
        });
  }

  // Has the source holding the block at `start` report its result.
  void FinishBlock(uint64_t start, int32_t errorType = 0, int32_t errorCode = 0) {
    ScriptedPeer* peer = peers.HolderOf(start);
    ASSERT_NE(peer, nullptr) << "no source holds the block at " << start;
    peer->Finish(hub, errorType, errorCode);
  }

  void ExpectOneCompletion(int32_t errorType, int32_t errorCode) {
    ASSERT_EQ(completions.size(), 1u);
    EXPECT_EQ(completions[0].userData, kUserData);
    EXPECT_EQ(completions[0].errorType, errorType);
    EXPECT_EQ(completions[0].errorCode, errorCode);
  }

  file_test::ScratchDirectory dir;
  TraceLines trace;
  EventHub hub;
  PeerRecorder peers;
  RecordingSink sink;
  CDownloadTaskQueue queue;  // last: its tasks go before the sources' records and the sink
  std::vector<Completion> completions;
  std::vector<Progress> progress;
};
