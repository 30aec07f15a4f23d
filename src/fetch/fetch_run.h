#pragma once
// Runs one download through the engine on this thread's message loop and says how it ended.
#include "fetch/fetch_options.h"

// The exit status of devu_fetch (see FetchUsage). Writes the progress line and the outcome to
// standard error.
int RunFetch(const FetchOptions& options);
