#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/download_task.h"
#include "engine/scripted_peer.h"
#include "support/trace_lines.h"

namespace {

using Ranges = std::vector<std::pair<uint64_t, uint64_t>>;

constexpr uint64_t kFileSize = 3000000;

struct Fixture {
  explicit Fixture(uint64_t size = kFileSize) : task(size) {
    if (size > 0) task.Gaps().AddRange(0, size - 1);
  }
  // Adds a peer without handing it a block and returns it with its record.
  std::pair<ScriptedPeer*, std::shared_ptr<PeerRecord>> AddPeer(bool p2p = false) {
    auto record = std::make_shared<PeerRecord>();
    record->peerSettings.dataPath = L"/data/game.exe.dl";
    record->peerSettings.url = L"http://dl.example.test/game.exe";
    auto peer = std::make_unique<ScriptedPeer>(record);
    peer->p2p = p2p;
    record->peer = peer.get();
    ScriptedPeer* raw = peer.get();
    task.Peers().push_back(std::move(peer));
    return {raw, record};
  }
  Ranges BlockRanges() const {
    Ranges out;
    for (const auto& b : task.Blocks()) out.emplace_back(b->start, b->end);
    return out;
  }
  CDownloadTask task;
};

Ranges Contents(const RangeList& list) {
  Ranges out;
  for (const ByteRange& r : list.Ranges()) out.emplace_back(r.start, r.end);
  return out;
}

TEST(DownloadTaskBlocksTest, FreshTaskCutsBlocksInFileOrderAndNeverTwice) {
  Fixture f;
  auto [a, aj] = f.AddPeer();
  auto [b, bj] = f.AddPeer();
  auto [c, cj] = f.AddPeer();
  EXPECT_TRUE(f.task.DownloadNextEmptyBlock());
  EXPECT_TRUE(f.task.DownloadNextEmptyBlock());
  EXPECT_TRUE(f.task.DownloadNextEmptyBlock());
  EXPECT_EQ(aj->requests, (Ranges{{0, 1310719}}));
  EXPECT_EQ(bj->requests, (Ranges{{1310720, 2621439}}));
  EXPECT_EQ(cj->requests, (Ranges{{2621440, 2999999}}));
  EXPECT_EQ(f.BlockRanges(), (Ranges{{0, 1310719}, {1310720, 2621439}, {2621440, 2999999}}));
  EXPECT_EQ(a->block, f.task.Blocks().front().get());

  // No idle peer: nothing is requested.
  EXPECT_EQ(f.task.FindIdlePeer(), nullptr);
  EXPECT_FALSE(f.task.DownloadNextEmptyBlock());

  // Every gap is covered by a block in flight: the new peer stays idle.
  TraceLines trace;
  auto [d, dj] = f.AddPeer();
  EXPECT_EQ(f.task.FindIdlePeer(), d);
  EXPECT_FALSE(f.task.DownloadNextEmptyBlock());
  EXPECT_TRUE(dj->requests.empty());
  EXPECT_FALSE(d->busy);
  EXPECT_EQ(f.task.Blocks().size(), 3u);
  EXPECT_EQ(trace.LinesContaining(L"选取空白文件块失败").size(), 1u);
}

TEST(DownloadTaskBlocksTest, FailedBlockIsCutAgainFromItsStart) {
  Fixture f;
  auto [a, aj] = f.AddPeer();
  auto [b, bj] = f.AddPeer();
  ASSERT_TRUE(f.task.DownloadNextEmptyBlock());
  ASSERT_TRUE(f.task.DownloadNextEmptyBlock());
  a->block->received = 5000;

  // The first block fails: its record goes, the gaps stay, and the peer no longer points at it.
  EXPECT_TRUE(f.task.RemoveRequestBlock(0, 1310719));
  EXPECT_EQ(a->block, nullptr);
  EXPECT_EQ(f.BlockRanges(), (Ranges{{1310720, 2621439}}));
  a->busy = false;
  ASSERT_TRUE(f.task.DownloadNextEmptyBlock());
  EXPECT_EQ(aj->requests.back(), (std::pair<uint64_t, uint64_t>{0, 1310719}));

  // A completed block leaves the gaps; the next cut takes what follows the blocks in flight.
  f.task.Gaps().SubtractRange(1310720, 2621439);
  EXPECT_TRUE(f.task.RemoveRequestBlock(1310720, 2621439));
  b->busy = false;
  ASSERT_TRUE(f.task.DownloadNextEmptyBlock());
  EXPECT_EQ(bj->requests.back(), (std::pair<uint64_t, uint64_t>{2621440, 2999999}));

  // Nothing matches, or the range is reversed.
  EXPECT_FALSE(f.task.RemoveRequestBlock(1310720, 2621439));
  EXPECT_FALSE(f.task.RemoveRequestBlock(10, 5));
  EXPECT_EQ(f.task.Blocks().size(), 2u);
}

TEST(DownloadTaskBlocksTest, PeerToPeerSourcesTakeSmallerBlocks) {
  Fixture f;
  auto [p, pj] = f.AddPeer(/*p2p=*/true);
  ASSERT_TRUE(f.task.DownloadNextEmptyBlock());
  EXPECT_EQ(pj->requests, (Ranges{{0, 262143}}));
}

TEST(DownloadTaskBlocksTest, RefusedRequest) {
  struct Case {
    const char* name;
    bool busyWhenRefusing;
    bool peerDropped;
  };
  const Case cases[] = {
      {"idle peer keeps its place", false, false},
      {"peer left busy is dropped", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    auto [p, pj] = f.AddPeer();
    p->refuse = true;
    p->busyWhenRefusing = c.busyWhenRefusing;
    TraceLines trace;
    EXPECT_FALSE(f.task.DownloadNextEmptyBlock());
    EXPECT_EQ(pj->requests, (Ranges{{0, 1310719}}));
    EXPECT_TRUE(f.task.Blocks().empty());
    EXPECT_EQ(pj->peer == nullptr, c.peerDropped);
    EXPECT_EQ(pj->stops, c.peerDropped ? 1 : 0);
    EXPECT_EQ(f.task.Peers().size(), c.peerDropped ? 0u : 1u);
    if (!c.peerDropped) {
      EXPECT_EQ(p->block, nullptr);
    }
    EXPECT_EQ(trace.LinesContaining(L"p2p:0 url:http://dl.example.test/game.exe DownloadNextEmptyBlock 失败 "
                                    L"/data/game.exe.dl DownloadNextEmptyBlock 0-1310719 peer_count:1")
                  .size(),
              1u);
  }
}

TEST(DownloadTaskBlocksTest, DownloadedSizeCountsBytesOfBlocksInFlight) {
  Fixture f;
  auto [a, aj] = f.AddPeer();
  ASSERT_TRUE(f.task.DownloadNextEmptyBlock());
  a->block->received = 1000;
  EXPECT_EQ(f.task.GetDownloadedSize(), 1000u);
  EXPECT_EQ(f.task.DescribeBlocks(), L"block( 0-1310719) gap( 0-2999999)");

  RangeList free;
  f.task.GetFreeRanges(FreeRangeMode::WholeBlocks, free);
  EXPECT_EQ(Contents(free), (Ranges{{1310720, 2999999}}));
  f.task.GetFreeRanges(FreeRangeMode::ReceivedParts, free);
  EXPECT_EQ(Contents(free), (Ranges{{1000, 2999999}}));

  // A peer that counts more than its block never eats into the bytes of the next one.
  a->block->received = 2000000;
  EXPECT_EQ(f.task.GetDownloadedSize(), 1310720u);

  f.task.Gaps().Clear();
  EXPECT_EQ(f.task.GetDownloadedSize(), kFileSize);
}

TEST(DownloadTaskBlocksTest, EmptyFileReportsNothingDownloaded) {
  // An empty file has the whole offset space as its gap; the count must not wrap.
  Fixture f(0);
  f.task.Gaps().AddRange(0, std::numeric_limits<uint64_t>::max());
  EXPECT_EQ(f.task.GetDownloadedSize(), 0u);
}

}  // namespace
