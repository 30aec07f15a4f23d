// Measures what an idle curl worker costs and how soon a handed-over transfer starts:
//   transport_probe URL [ROUNDS]
// prints the process CPU time spent while two workers idle for 5 s, and the time from
// AddTransfer to the listener's OnCurlStart on the UI thread (median, 95th percentile, maximum).
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "commonlib/core/output_buffer_stream.h"
#include "http/curl_http.h"
#include "http/curl_listener.h"
#include "http/curl_workshop.h"
#include "http/http_base.h"
#include "platform/clock.h"
#include "support/ui_pump.h"
#include "thread/high_res_time.h"
#include "thread/main_thread_dispatcher.h"

namespace {

class Probe : public CurlListener {
 public:
  void OnCurlDone(const CRefPtr<CCurlBase>& transfer, int) override { done = done || transfer.Get() == current; }
  void OnCurlRecvProgress(const CRefPtr<CCurlBase>&, uint32_t) override {}
  void OnCurlSendProgress(const CRefPtr<CCurlBase>&, uint32_t) override {}
  void OnCurlHeader(const CRefPtr<CCurlBase>&, int, const ProtoValue&) override {}
  void OnCurlCancel(const CRefPtr<CCurlBase>& transfer) override { done = done || transfer.Get() == current; }
  void OnCurlStart(const CRefPtr<CCurlBase>& transfer) override {
    if (transfer.Get() == current) startedAt = GetHighResTime();
  }

  const CCurlBase* current = nullptr;  // events of earlier rounds' transfers are ignored
  double startedAt = 0;
  bool done = false;
};

class Request : public CHttpBase {
 public:
  Request(CCurlWorkshop* workshop, CurlListener* listener, const std::wstring& address)
      : CHttpBase(workshop, nullptr), listener_(listener) {
    url = address;
  }
  ErrorPair Start() override {
    ReleaseTransfer();
    auto* transfer = new CCurlHttp(workshop, listener_);
    transfer->SetOutput(std::make_unique<OBufferStream>());
    curl = transfer;
    ++attempts;
    started = true;
    Prepare();
    return {};
  }
  void Done(int32_t, int32_t) override {}

 private:
  CurlListener* listener_;
};

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: transport_probe URL [ROUNDS]\n");
    return 2;
  }
  const std::string narrow = argv[1];
  const std::wstring url(narrow.begin(), narrow.end());
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
  InitMainThreadDispatcher();

  CCurlWorkshop first, second;
  first.Init();
  second.Init();
  first.Start();
  second.Start();
  const double cpuBefore = CpuSeconds();
  platform::SleepMs(5000);
  const double idleCpu = CpuSeconds() - cpuBefore;
  std::printf("idle: two workers for 5 s used %.3f s of CPU (%.2f%% of one core)\n", idleCpu, idleCpu / 5.0 * 100);

  std::vector<double> latenciesMs;
  Probe probe;
  for (int i = 0; i < rounds; ++i) {
    Request request(&first, &probe, url);
    request.Start();
    probe.current = request.curl.Get();
    probe.startedAt = 0;
    probe.done = false;
    PumpFor(20);  // the worker is idle in its poll when the transfer arrives
    const double handedOver = GetHighResTime();
    first.AddTransfer(request.curl);
    PumpUntil([&] { return probe.done; }, 10000);
    if (probe.startedAt > 0) latenciesMs.push_back((probe.startedAt - handedOver) * 1000.0);
  }
  std::sort(latenciesMs.begin(), latenciesMs.end());
  if (!latenciesMs.empty()) {
    std::printf("AddTransfer -> OnCurlStart over %zu transfers: median %.3f ms, p95 %.3f ms, max %.3f ms\n",
                latenciesMs.size(), latenciesMs[latenciesMs.size() / 2], latenciesMs[latenciesMs.size() * 95 / 100],
                latenciesMs.back());
  }
  first.DestroyThread(platform::kWaitInfinite);
  second.DestroyThread(platform::kWaitInfinite);
  first.UnInit();
  second.UnInit();
  UninitMainThreadDispatcher();
  return 0;
}
