#include "fetch/fetch_run.h"

#include <cstdio>
#include <cwctype>
#include <string>

#include "engine/download_engine.h"
#include "fetch/progress_line.h"
#include "http/http_mgr.h"
#include "platform/message_loop.h"
#include "platform/path.h"
#include "thread/main_thread_dispatcher.h"
#include "util/file_utils.h"
#include "util/text_convert.h"

namespace {

constexpr uint32_t kSchedulerTickMs = 500;

struct Outcome {
  bool ended = false;
  int32_t errorType = 0;
  int32_t errorCode = 0;
};

uint32_t gSchedulerTicks = 0;

void OnSchedulerTimer(platform::WindowHandle, uint32_t, uintptr_t, uint32_t) { CHttpMgr::TickAll(++gSchedulerTicks); }

void WriteError(const std::wstring& text) {
  std::fputs(WideToUtf8(text).c_str(), stderr);
  std::fflush(stderr);
}

std::wstring Lowered(std::wstring text) {
  for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

}  // namespace

int RunFetch(const FetchOptions& options) {
  const std::wstring fullPath = platform::FullPathFromArgument(options.out);
  if (fullPath.empty()) {
    WriteError(L"devu_fetch: cannot use the output path " + options.out + L"\n");
    return 2;
  }
  std::wstring ipList;
  for (const auto& ip : options.ips) ipList += (ipList.empty() ? L"" : L";") + ip;

  Outcome outcome;
  bool progressShown = false;
  InitMainThreadDispatcher();
  DownloadEngineInit();
  SetDownloadCallbacks(
      [&](uintptr_t, uint64_t total, uint64_t completed, uint32_t speed) {
        if (options.quiet) return;
        WriteError(L"\r" + FormatProgressLine(total, completed, speed) + L"   ");
        progressShown = true;
      },
      [&](uintptr_t, int32_t errorType, int32_t errorCode) {
        outcome = {true, errorType, errorCode};
        platform::PostQuit(0);
      });
  const uintptr_t timer = platform::SetThreadTimer(kSchedulerTickMs, &OnSchedulerTimer);
  AddDownloadTask(options.md5.c_str(), options.cdnHost.c_str(), options.url.c_str(), ipList.c_str(), fullPath.c_str(),
                  options.size, 0, options.cdnMinSpeed, "");
  // A task that ends while being added has already posted the quit.
  platform::RunMessageLoop();
  platform::KillThreadTimer(timer);
  DownloadEngineUninit();
  UninitMainThreadDispatcher();
  if (progressShown) WriteError(L"\n");

  if (!outcome.ended) {
    WriteError(L"devu_fetch: the download ended without a result\n");
    return 1;
  }
  if (outcome.errorType != 0 || outcome.errorCode != 0) {
    WriteError(L"devu_fetch: download failed et:" + std::to_wstring(outcome.errorType) +
               L" ec:" + std::to_wstring(outcome.errorCode) + L"\n");
    return 1;
  }
  if (!options.md5.empty()) {
    const std::wstring digest = Utf8ToWide(FileUtils::ComputeFileMd5(fullPath));
    if (digest != Lowered(options.md5)) {
      WriteError(L"devu_fetch: MD5 differs: expected " + Lowered(options.md5) + L", got " +
                 (digest.empty() ? L"(unreadable)" : digest) + L"\n");
      return 3;
    }
  }
  if (!options.quiet) WriteError(L"devu_fetch: done " + fullPath + L"\n");
  return 0;
}
