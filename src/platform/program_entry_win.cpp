#include "platform/program_entry.h"

#include <windows.h>
#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  const int code = ProgramMain(argv != nullptr ? argc : 0, argv);
  if (argv != nullptr) ::LocalFree(argv);
  return code;
}
