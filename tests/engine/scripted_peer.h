#pragma once
// A source whose results the test decides: it records what the task asks of it, accepts or
// refuses blocks as told, and ends its block by publishing the block result through the event
// hub, as a real source does.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/download_task_queue.h"
#include "engine/engine_events.h"
#include "engine/event_hub.h"
#include "engine/peer_factory.h"
#include "engine/statistics_sink.h"
#include "platform/clock.h"

class ScriptedPeer;

// What happened to one source; outlives the source.
struct PeerRecord {
  PeerSettings peerSettings;
  std::vector<std::pair<uint64_t, uint64_t>> requests;
  int stops = 0;
  ScriptedPeer* peer = nullptr;  // null once the task destroyed the source
};

class ScriptedPeer : public CDownloadPeer {
 public:
  explicit ScriptedPeer(std::shared_ptr<PeerRecord> record) : record_(std::move(record)) {
    dataPath = record_->peerSettings.dataPath;
    key = record_->peerSettings.key;
    serverIp = record_->peerSettings.ip;
  }
  ~ScriptedPeer() override { record_->peer = nullptr; }

  bool RequestBlock(BlockRequest* request) override {
    if (firstRequestTick == 0) firstRequestTick = platform::TickCount();
    record_->requests.emplace_back(request->start, request->end);
    if (refuse) {
      busy = busyWhenRefusing;
      return false;
    }
    block = request;
    busy = true;
    return true;
  }
  void StopRequest() override {
    ++record_->stops;
    block = nullptr;
    busy = false;
  }
  std::wstring GetServerIp() override { return serverIp; }
  std::wstring GetHost() override { return record_->peerSettings.host; }
  std::wstring GetSourceName() override {
    return !record_->peerSettings.isCdn && !redirected && !serverIp.empty() ? serverIp : GetHost();
  }
  bool IsP2P() override { return p2p; }
  std::wstring GetUrl() override { return record_->peerSettings.url; }
  bool IsHttpPeer() const override { return true; }
  bool IsCdn() const override { return record_->peerSettings.isCdn; }
  bool IsRedirected() const override { return redirected; }

  // Ends the block as a real source does: idle first, then the result. The task may destroy
  // this source while handling it.
  void Finish(EventHub& hub, int32_t errorType = 0, int32_t errorCode = 0) {
    busy = false;
    hub.Broadcast(engine_event::kRangeDone, errorType, errorCode, engine_event::PeerEventValue(*this));
  }

  std::wstring serverIp;
  bool redirected = false;
  bool p2p = false;
  bool refuse = false;
  bool busyWhenRefusing = false;

 private:
  std::shared_ptr<PeerRecord> record_;
};

// The factory the tests install: builds scripted sources and keeps their records in order.
class PeerRecorder {
 public:
  PeerFactory Factory() {
    return [this](const PeerSettings& peerSettings) -> std::unique_ptr<CDownloadPeer> {
      auto record = std::make_shared<PeerRecord>();
      record->peerSettings = peerSettings;
      auto peer = std::make_unique<ScriptedPeer>(record);
      record->peer = peer.get();
      records.push_back(record);
      return peer;
    };
  }
  // The live source that holds a block starting at `start`, or null.
  ScriptedPeer* HolderOf(uint64_t start) const {
    for (const auto& record : records) {
      if (record->peer != nullptr && record->peer->block != nullptr && record->peer->block->start == start) {
        return record->peer;
      }
    }
    return nullptr;
  }

  std::vector<std::shared_ptr<PeerRecord>> records;
};

class RecordingSink : public IStatisticsSink {
 public:
  void Report(const ProtoValue& stats) override { reports.push_back(stats); }
  std::vector<ProtoValue> reports;
};

// The event lines of a report's history.
inline std::vector<std::wstring> ReportHistory(const ProtoValue& report) {
  std::vector<std::wstring> lines;
  const ProtoValue& log = report.get(L"log");
  if (log.type() != ProtoValueType::Array || log.size() < 2) return lines;
  const ProtoValue& history = log.array()[1].get(L"下载日志");
  if (history.type() != ProtoValueType::Array) return lines;
  for (const ProtoValue& line : history.array()) lines.push_back(line.string());
  return lines;
}

inline bool AnyContains(const std::vector<std::wstring>& lines, const std::wstring& text) {
  for (const std::wstring& line : lines) {
    if (line.find(text) != std::wstring::npos) return true;
  }
  return false;
}
