#pragma once
// Runs downloads through the engine's entry points on this thread's message loop, against the
// test servers, with the engine's time limits shortened.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/download_engine.h"
#include "engine/download_task_queue.h"
#include "engine/engine_limits.h"
#include "engine/statistics_sink.h"
#include "http/http_mgr.h"
#include "platform/clock.h"
#include "platform/message_loop.h"
#include "support/file_test_support.h"
#include "support/server_log.h"
#include "support/test_servers.h"
#include "support/ui_pump.h"
#include "thread/main_thread_dispatcher.h"
#include "util/md5.h"

struct DownloadOrder {
  std::wstring url;
  std::wstring ipList;
  std::wstring cdnHost;
  int64_t cdnMinSpeed = 0;
  uint64_t size = 0;
  std::wstring md5;
  std::wstring path;
};

struct DownloadOutcome {
  bool ended = false;
  int32_t errorType = 0;
  int32_t errorCode = 0;
  uint32_t elapsedMs = 0;
};

class CountingSink : public IStatisticsSink {
 public:
  void Report(const ProtoValue& stats) override { reports.push_back(stats); }
  std::vector<ProtoValue> reports;
};

class EngineDownloadTest : public ::testing::Test {
 protected:
  // Short limits, so that stalls, lost sources and slow sources show within seconds.
  static EngineLimits ShortLimits() {
    EngineLimits limits;
    limits.stallTimeoutMs = 2000;
    limits.noSourceLimitMs = 2000;
    limits.cdnSlowWindowMs = 3000;
    return limits;
  }

  void SetUp() override {
    servers = TestServers();
    ASSERT_EQ(servers.size(), 3u) << "run this suite through ctest (tools/run_with_test_servers.py)";
    for (const auto& server : servers) ClearServerLog(server);
    CurrentEngineLimits() = ShortLimits();
    InitMainThreadDispatcher();
    DownloadEngineInit();
    CDownloadTaskQueue::GetInstance()->SetStatisticsSink(&sink);
    schedulerTimer_ = platform::SetThreadTimer(500, &SchedulerTick);
  }

  void TearDown() override {
    platform::KillThreadTimer(schedulerTimer_);
    CDownloadTaskQueue::GetInstance()->SetStatisticsSink(nullptr);
    DownloadEngineUninit();
    UninitMainThreadDispatcher();
    CurrentEngineLimits() = EngineLimits();
  }

  // The URL of a generated file on the first server (the domain source's host).
  std::wstring FileUrl(uint64_t size, const std::string& query = "") const {
    return servers[0].Url("/files/" + std::to_string(size) + "/3/setup.exe" + query);
  }
  // The two other servers' addresses, as spare addresses of the first one's host.
  std::wstring SpareAddresses() const { return TestServer::Wide(servers[1].host + ";" + servers[2].host); }

  static std::wstring Md5Of(const std::string& bytes) {
    const MD5 digest(bytes.data(), bytes.size());
    const std::string hex = digest.hex_digest();
    return std::wstring(hex.begin(), hex.end());
  }

  DownloadOrder Order(uint64_t size, const std::string& query, const std::wstring& path) const {
    DownloadOrder order;
    order.url = FileUrl(size, query);
    order.ipList = SpareAddresses();
    order.size = size;
    order.md5 = Md5Of(ServedBytes(0, size, 3));
    order.path = path;
    return order;
  }

  DownloadOutcome Run(const DownloadOrder& order, uint32_t limitMs = 60000) {
    DownloadOutcome outcome;
    const uint32_t start = platform::TickCount();
    SetDownloadCallbacks(nullptr, [&](uintptr_t, int32_t type, int32_t code) {
      outcome.ended = true;
      outcome.errorType = type;
      outcome.errorCode = code;
      outcome.elapsedMs = platform::TickCount() - start;
    });
    AddDownloadTask(order.md5.c_str(), order.cdnHost.c_str(), order.url.c_str(), order.ipList.c_str(),
                    order.path.c_str(), order.size, 0, order.cdnMinSpeed, "");
    PumpUntil([&] { return outcome.ended; }, limitMs);
    SetDownloadCallbacks(nullptr, nullptr);
    if (!outcome.ended) RemoveDownloadTask(order.url.c_str(), order.path.c_str());
    return outcome;
  }

  std::vector<TestServer> servers;
  CountingSink sink;

 private:
  static void SchedulerTick(platform::WindowHandle, uint32_t, uintptr_t, uint32_t) {
    static uint32_t ticks = 0;
    CHttpMgr::TickAll(++ticks);
  }

  uintptr_t schedulerTimer_ = 0;
};
