#pragma once
// The download engine's entry points, called by the application on the UI thread.
#include <cstdint>

#include "engine/download_callbacks.h"

// Starts the engine: its transfer pair and the one-second timer that ticks every task; routes the
// sources' events to the task queue. Always true.
bool DownloadEngineInit();
// Stops the timer and the event routing and ends the transfer pair. Listed tasks stay. Always true.
bool DownloadEngineUninit();

// The application's functions that AddDownloadTask hands to every new task.
void SetDownloadCallbacks(DownloadProgressCallback onProgress, DownloadCompleteCallback onComplete);

// Adds and starts a download of `url` to `fullPath`. Null texts count as empty; `ipList` holds
// spare server addresses separated by ";", `options` a JSON object for the statistics record.
// Always true: failures reach the completion callback.
bool AddDownloadTask(const wchar_t* md5, const wchar_t* cdnHost, const wchar_t* url, const wchar_t* ipList,
                     const wchar_t* fullPath, uint64_t size, uintptr_t userData, int64_t cdnMinSpeed,
                     const char* options);
// Cancels the download to `fullPath`, keeping its files for a later resume; `url` is not used.
bool RemoveDownloadTask(const wchar_t* url, const wchar_t* fullPath);
