// devu_fetch: downloads one file with the installer's download engine.
#include <cstdio>

#include "fetch/fetch_options.h"
#include "fetch/fetch_run.h"
#include "platform/program_entry.h"
#include "util/text_convert.h"

int ProgramMain(int argc, wchar_t** argv) {
  FetchOptions options;
  std::wstring error;
  if (!ParseFetchOptions(argc, argv, &options, &error)) {
    std::fputs(WideToUtf8(L"devu_fetch: " + error + L"\n" + FetchUsage()).c_str(), stderr);
    return 2;
  }
  if (options.help) {
    std::fputs(WideToUtf8(FetchUsage()).c_str(), stdout);
    return 0;
  }
  return RunFetch(options);
}
