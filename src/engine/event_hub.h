#pragma once
// The engine's event hub: sources publish their events here and every registered listener gets
// them at once, before Broadcast returns. It also remembers the engine timer. UI thread only.
#include <cstdint>
#include <vector>

#include "commonlib/core/proto_value.h"
#include "thread/singleton.h"

class DAEventListener {
 public:
  virtual ~DAEventListener() = default;
  virtual void OnEvent(int32_t type, int32_t a, int32_t b, const ProtoValue& value) = 0;
};

class EventHub : public CSingleton<EventHub> {
 public:
  EventHub() = default;

  // False for null and for a listener already registered.
  bool Register(DAEventListener* listener);
  void Unregister(DAEventListener* listener);
  // Delivers to the listeners registered now; one that unregisters during the delivery is skipped.
  // A listener may destroy the publisher: the publisher must not touch itself afterwards.
  void Broadcast(int32_t type, int32_t a, int32_t b, const ProtoValue& value);
  bool IsRegistered(const DAEventListener* listener) const;

  // The engine timer runs and the queue is registered.
  bool Started() const { return started_; }
  uintptr_t TimerId() const { return timerId_; }
  void MarkStarted(uintptr_t timerId) {
    timerId_ = timerId;
    started_ = true;
  }
  void MarkStopped() {
    timerId_ = 0;
    started_ = false;
  }

 private:
  std::vector<DAEventListener*> listeners_;  // not owned
  uintptr_t timerId_ = 0;
  bool started_ = false;
};
