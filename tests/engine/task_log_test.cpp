#include "engine/task_log.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "util/common_utils.h"

namespace {

class RecordingSink : public IStatisticsSink {
 public:
  void Report(const ProtoValue& stats) override { reports.push_back(stats); }
  std::vector<ProtoValue> reports;
};

class FixedSource : public ITaskStatisticsSource {
 public:
  TaskStatisticsFacts GetStatisticsFacts() const override {
    ++calls;
    return facts;
  }
  TaskStatisticsFacts facts;
  mutable int calls = 0;
};

class NamedPeer : public CDownloadPeer {
 public:
  NamedPeer(std::wstring name, bool p2p) : name_(std::move(name)), p2p_(p2p) {}
  bool RequestBlock(BlockRequest*) override { return false; }
  void StopRequest() override {}
  std::wstring GetSourceName() override { return name_; }
  bool IsP2P() override { return p2p_; }

 private:
  std::wstring name_;
  bool p2p_;
};

// Sets a flag when the last reference is gone.
class ObservedTaskLog : public TaskLog {
 public:
  ObservedTaskLog(const ITaskStatisticsSource* owner, IStatisticsSink* sink, TaskReportList* list,
                  bool* destroyed)
      : TaskLog(owner, sink, list), destroyed_(destroyed) {}
  ~ObservedTaskLog() override { *destroyed_ = true; }

 private:
  bool* destroyed_;
};

ProtoValue Meta(int64_t fs, const std::vector<std::pair<int64_t, int64_t>>& gaps, bool withGaps) {
  ProtoValue meta;
  meta[L"fs"] = fs;
  if (withGaps) {
    ProtoValue& gl = meta[L"gl"];
    gl = ProtoValue(ProtoValueType::Array);
    for (const auto& [s, e] : gaps) {
      ProtoValue range;
      range[L"start"] = s;
      range[L"end"] = e;
      gl.append(range);
    }
  }
  return meta;
}

std::vector<std::wstring> Strings(const ProtoValue& array) {
  std::vector<std::wstring> out;
  for (const ProtoValue& v : array.array()) out.push_back(v.string());
  return out;
}

TEST(TaskLogTest, EventLineCarriesLocalTimeCategoryAndText) {
  TaskLog log(nullptr, nullptr, nullptr);
  log.RecordEvent(L"任务状态", L"开始下载:http://dl.example.test/a.exe");
  log.RecordEvent(L"源失败", L"源：10.0.0.1失败,et:5,ec:28");
  ASSERT_EQ(log.Events().size(), 2u);
  const std::wstring& line = log.Events()[0];
  // "[YYYY-MM-DD hh:mm:ss] [category] text"
  ASSERT_EQ(line.size(), 21u + std::wstring(L" [任务状态] 开始下载:http://dl.example.test/a.exe").size());
  EXPECT_EQ(line.substr(21), L" [任务状态] 开始下载:http://dl.example.test/a.exe");
  const std::wstring pattern = L"[dddd-dd-dd dd:dd:dd]";
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == L'd') {
      EXPECT_TRUE(std::iswdigit(line[i])) << "position " << i;
    } else {
      EXPECT_EQ(line[i], pattern[i]) << "position " << i;
    }
  }
  EXPECT_EQ(std::stoi(line.substr(1, 4)), platform::LocalTimeNow().year);
  EXPECT_EQ(log.Events()[1].substr(21), L" [源失败] 源：10.0.0.1失败,et:5,ec:28");
}

TEST(TaskLogTest, CountersPerSource) {
  TaskLog log(nullptr, nullptr, nullptr);
  // Two address sources pinned to the same address share one entry.
  NamedPeer first(L"10.0.0.1", false), second(L"10.0.0.1", false), other(L"cdn.example.test", false);
  NamedPeer p2p(L"10.0.0.9", true), nameless(L"", false);
  log.AddSourceBytes(first, 1000);
  log.AddSourceBytes(second, 500);
  log.AddSourceBytes(other, 7);
  log.AddSourceBytes(p2p, 1 << 20);
  log.AddSourceBytes(nameless, 1 << 20);
  EXPECT_EQ(log.BytesBySource(), (TaskLog::Counters{{L"10.0.0.1", 1500}, {L"cdn.example.test", 7}}));

  // A source that never requested gets an entry of 0.
  uint32_t neverRequested = 0;
  log.AddSourceTime(L"10.0.0.2", neverRequested);
  EXPECT_EQ(log.TimeBySource().at(L"10.0.0.2"), 0);

  uint32_t tick = platform::TickCount() - 5000;
  log.AddSourceTime(L"10.0.0.1", tick);
  const int64_t firstSpan = log.TimeBySource().at(L"10.0.0.1");
  EXPECT_GE(firstSpan, 5000);
  EXPECT_LT(firstSpan, 5000 + 60000);
  // The tick moved forward: the same span is not counted again.
  EXPECT_LT(static_cast<uint32_t>(platform::TickCount() - tick), 60000u);
  log.AddSourceTime(L"10.0.0.1", tick);
  EXPECT_LT(log.TimeBySource().at(L"10.0.0.1") - firstSpan, 60000);

  uint32_t untouched = 1234;
  log.AddSourceTime(L"", untouched);
  EXPECT_EQ(untouched, 1234u);
  EXPECT_EQ(log.TimeBySource().size(), 2u);
}

TEST(TaskLogTest, StatisticsFields) {
  struct Case {
    const char* name;
    ProtoValue meta;
    int64_t downloadMs;
    int64_t downloadSize, seconds, speed;
  };
  const Case cases[] = {
      {"under a second: 1 s, speed from the milliseconds", Meta(3000000, {}, false), 400, 3000000, 1,
       7500000},
      {"saved gaps are not counted", Meta(3000000, {{0, 999999}}, true), 4000, 2000000, 4, 500000},
      {"overlapping saved gaps count once", Meta(1000, {{0, 99}, {50, 199}}, true), 2500, 800, 2,
       320},
      {"gaps beyond the size are ignored", Meta(1000, {{900, 5000}}, true), 1000, 900, 1, 900},
      {"no time at all", Meta(1000, {}, false), 0, 1000, 1, 0},
      {"no meta record", ProtoValue(), 1000, 0, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FixedSource source;
    source.facts.expectedSize = 3000000;
    source.facts.downloadMs = c.downloadMs;
    source.facts.status = 2;
    source.facts.usedCdn = true;
    source.facts.savedMeta = c.meta;
    TaskLog log(&source, nullptr, nullptr);
    log.Stats()[L"game_id"] = L"g1";  // an options member stays
    log.FillStatistics();
    const ProtoValue& s = log.Stats();
    EXPECT_EQ(s.get(L"game_id").string(), L"g1");
    EXPECT_EQ(s.get(L"size").integer(), 3000000);
    EXPECT_EQ(s.get(L"download_size").integer(), c.downloadSize);
    EXPECT_EQ(s.get(L"time_comsuming").integer(), c.seconds);
    EXPECT_EQ(s.get(L"avg_speed").integer(), c.speed);
    EXPECT_EQ(s.get(L"status").integer(), 2);
    EXPECT_EQ(s.get(L"is_cdn").integer(), 1);
  }
}

TEST(TaskLogTest, ReportReachesTheSinkWithItsThreeSections) {
  FixedSource source;
  source.facts.expectedSize = 2048;
  source.facts.downloadMs = 2000;
  source.facts.status = 1;
  source.facts.savedMeta = Meta(2048, {}, false);
  RecordingSink sink;
  TaskReportList list;
  bool destroyed = false;
  CRefPtr<TaskLog> log(new ObservedTaskLog(&source, &sink, &list, &destroyed));
  list.Add(log);

  log->RecordEvent(L"任务状态", L"下载完成 code:0");
  log->AddSourceBytes(L"b.example.test", 4096);
  log->AddSourceBytes(L"10.0.0.1", 2048000);
  log->AddSourceBytes(L"no-time.example.test", 1);
  uint32_t tick = 0;
  log->AddSourceTime(L"b.example.test", tick);
  log->AddSourceTime(L"10.0.0.1", tick);
  // Timed spans are only known through the counters loaded from a meta record.
  ProtoValue saved;
  saved[L"log"][L"it"][L"b.example.test"] = int64_t{2000};
  saved[L"log"][L"it"][L"10.0.0.1"] = int64_t{2500};
  NetAnalysis analysis;
  analysis.time = 0;
  analysis.domain = L"dl.example.test";
  analysis.ping = L"ok";
  analysis.traceroot = L"3 hops";
  log->AddNetAnalysis(analysis);
  analysis.nslookup = L"10.0.0.1";
  log->AddNetAnalysis(analysis);
  log->LoadLog(saved);

  // Not finished yet: nothing happens.
  log->BuildReport();
  EXPECT_TRUE(sink.reports.empty());
  EXPECT_TRUE(list.Contains(log));
  EXPECT_EQ(source.calls, 0);

  log->SetReportReady(true);
  log->BuildReport();
  ASSERT_EQ(sink.reports.size(), 1u);
  const ProtoValue& report = sink.reports[0];
  EXPECT_EQ(report.get(L"download_size").integer(), 2048);
  EXPECT_EQ(report.get(L"status").integer(), 1);
  EXPECT_EQ(report.get(L"is_cdn").integer(), 0);
  const ProtoValue& sections = report.get(L"log");
  ASSERT_EQ(sections.size(), 3u);
  const std::wstring time0 = CommonUtils::FormatTime(0);
  EXPECT_EQ(Strings(sections.array()[0].get(L"下载源速度分析")),
            (std::vector<std::wstring>{
                L"源:10.0.0.1,下载速度" + CommonUtils::FormatSize(819200, true) + L"/秒，耗时2秒",
                L"源:b.example.test,下载速度" + CommonUtils::FormatSize(2048, true) + L"/秒，耗时2秒"}));
  EXPECT_EQ(Strings(sections.array()[1].get(L"下载日志")), log->Events());
  EXPECT_EQ(Strings(sections.array()[2].get(L"网络分析")),
            (std::vector<std::wstring>{L"[" + time0 + L"]对dl.example.test网络分析：", L"Ping:ok",
                                       L"TraceRoute:3 hops", L"[" + time0 + L"]对dl.example.test网络分析：",
                                       L"Ping:ok", L"TraceRoute:3 hops", L"Nslookup:10.0.0.1"}));
  EXPECT_EQ(source.calls, 1);

  // Handed over: the list let go, and the last reference takes the log with it.
  EXPECT_FALSE(list.Contains(log));
  EXPECT_FALSE(destroyed);
  log.Reset();
  EXPECT_TRUE(destroyed);
}

TEST(TaskLogTest, SkippedReportIsBuiltButNotHandedOver) {
  FixedSource source;
  RecordingSink sink;
  TaskReportList list;
  CRefPtr<TaskLog> log(new TaskLog(&source, &sink, &list));
  list.Add(log);
  log->SetSkipReport(true);
  log->SetReportReady(true);
  log->BuildReport();
  EXPECT_TRUE(sink.reports.empty());
  EXPECT_EQ(list.Size(), 0u);
  EXPECT_EQ(log->Stats().get(L"log").size(), 3u);
}

TEST(TaskLogTest, SaveAndLoadRoundTrip) {
  TaskLog empty(nullptr, nullptr, nullptr);
  ProtoValue emptyRoot;
  empty.SaveLog(emptyRoot);
  EXPECT_EQ(emptyRoot.get(L"log"), ProtoValue(ProtoValueType::Map));

  TaskLog first(nullptr, nullptr, nullptr);
  first.RecordEvent(L"任务状态", L"开始下载:u");
  first.RecordEvent(L"选取源", L"选取IP源：10.0.0.1");
  first.AddSourceBytes(L"10.0.0.1", 1310720);
  uint32_t tick = 0;
  first.AddSourceTime(L"10.0.0.1", tick);
  first.AddNetAnalysis({1700000000, L"d.example.test", L"p", L"t", L""});
  ProtoValue root;
  root[L"fs"] = int64_t{5};
  first.SaveLog(root);
  EXPECT_EQ(root.get(L"fs").integer(), 5);
  EXPECT_EQ(root.get(L"log").get(L"tl").size(), 2u);
  EXPECT_EQ(root.get(L"log").get(L"nt").array()[0].get(L"time").integer(), 1700000000);

  // A resumed task: the earlier run's lines come first, counters replace same-named entries.
  TaskLog second(nullptr, nullptr, nullptr);
  second.AddSourceBytes(L"10.0.0.1", 99);
  second.AddSourceBytes(L"10.0.0.2", 1);
  second.LoadLog(root);
  second.RecordEvent(L"任务状态", L"开始下载:u");
  ASSERT_EQ(second.Events().size(), 3u);
  EXPECT_EQ(std::vector<std::wstring>(second.Events().begin(), second.Events().begin() + 2), first.Events());
  EXPECT_EQ(second.BytesBySource(), (TaskLog::Counters{{L"10.0.0.1", 1310720}, {L"10.0.0.2", 1}}));
  EXPECT_EQ(second.TimeBySource(), first.TimeBySource());
  ASSERT_EQ(second.NetAnalyses().size(), 1u);
  EXPECT_EQ(second.NetAnalyses()[0].domain, L"d.example.test");
  EXPECT_EQ(second.NetAnalyses()[0].time, 1700000000);

  ProtoValue again;
  second.SaveLog(again);
  TaskLog third(nullptr, nullptr, nullptr);
  third.LoadLog(again);
  EXPECT_EQ(third.Events(), second.Events());
  EXPECT_EQ(third.BytesBySource(), second.BytesBySource());
}

TEST(TaskLogTest, DamagedLogMembersAreSkipped) {
  ProtoValue root;
  ProtoValue& log = root[L"log"];
  log[L"tl"].append(L"kept");
  log[L"tl"].append(int64_t{42});
  log[L"nt"].append(L"not a map");
  log[L"ws"][L"10.0.0.1"] = L"not a number";
  log[L"ws"][L"10.0.0.2"] = int64_t{3};
  log[L"it"] = L"not a map";
  TaskLog loaded(nullptr, nullptr, nullptr);
  loaded.LoadLog(root);
  EXPECT_EQ(loaded.Events(), (std::vector<std::wstring>{L"kept"}));
  EXPECT_TRUE(loaded.NetAnalyses().empty());
  EXPECT_EQ(loaded.BytesBySource(), (TaskLog::Counters{{L"10.0.0.2", 3}}));
  EXPECT_TRUE(loaded.TimeBySource().empty());

  // A record whose "log" is not a map, or that is no map at all, adds nothing.
  ProtoValue wrong;
  wrong[L"log"] = int64_t{1};
  loaded.LoadLog(wrong);
  loaded.LoadLog(ProtoValue(L"text"));
  EXPECT_EQ(loaded.Events().size(), 1u);
}

}  // namespace
