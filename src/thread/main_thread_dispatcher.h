#pragma once
// Carries tasks from any thread to the UI thread: a queue, and a message-only window whose message
// runs the queued tasks in posting order from the UI thread's message loop. One message serves any
// number of queued tasks; a pass that has run for 0.05 s posts the message again and returns, so
// that input and painting are handled before the rest of the queue.
#include <cstdint>

#include "platform/message_loop.h"
#include "thread/ref_counted.h"

class MainThreadTaskBase;

// On the UI thread, once at start-up before any worker exists; a second call does nothing. Tasks
// left over from an earlier shutdown are dropped without running.
void InitMainThreadDispatcher();

// From any thread. The queue takes its own reference. Without a dispatcher (after shutdown) the
// task stays queued and never runs.
void PostMainThreadTask(const CRefPtr<MainThreadTaskBase>& task);

// On the UI thread at exit, after the workers have stopped: queued tasks are dropped without
// running, then the window is destroyed.
void UninitMainThreadDispatcher();

// The dispatcher's window and the message that runs the queue (null and 0 when none), so that a
// loop can tell the dispatcher's messages from others.
platform::WindowHandle MainThreadDispatcherWindow();
uint32_t MainThreadFiredMessage();

// Replaces the clock that measures a pass's budget (seconds; null: GetHighResTime). UI thread.
void SetMainThreadDispatcherClock(double (*clock)());
