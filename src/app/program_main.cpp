// The installer's process entry: options, the single-instance mutex, the message loop.
#include "app/main_app.h"
#include "logger/log.h"
#include "platform/message_loop.h"
#include "platform/named_mutex.h"
#include "platform/program_entry.h"
#include "platform/string_resource.h"
#include "util/command_line.h"

int ProgramMain(int argc, wchar_t** argv) {
  MainApp* app = MainApp::GetInstance();
  // Parser errors are ignored: whatever options were read apply.
  const CommandLine commandLine(argc, argv);
  app->ApplyOptions(commandLine);

  bool alreadyRunning = false;
  platform::NamedMutex mutex = platform::CreateNamedMutex(app_constants::kSingleInstanceMutexName, &alreadyRunning);
  if (alreadyRunning) {
    platform::CloseNamedMutex(mutex);
    if (!app->hidden) app->ShowAlreadyRunningNotice();
    LOG_INFO(L"another installer is running, exit");
    return 0;
  }

  LOG_INFO(L"installer started: %s hidden:%d gameId:%d runLauncher:%d title:%s", app_constants::kBaseVersionText,
           app->hidden ? 1 : 0, app->gameIdOverride, app->runLauncher ? 1 : 0,
           platform::LoadStringResource(app_constants::kStringWindowTitle).c_str());
  const int exitCode = platform::RunMessageLoop();

  platform::CloseNamedMutex(mutex);
  return exitCode;
}
