#include "engine/event_hub.h"

#include <algorithm>

bool EventHub::Register(DAEventListener* listener) {
  if (listener == nullptr || IsRegistered(listener)) return false;
  listeners_.push_back(listener);
  return true;
}

void EventHub::Unregister(DAEventListener* listener) {
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void EventHub::Broadcast(int32_t type, int32_t a, int32_t b, const ProtoValue& value) {
  const std::vector<DAEventListener*> snapshot = listeners_;
  for (DAEventListener* listener : snapshot) {
    if (IsRegistered(listener)) listener->OnEvent(type, a, b, value);
  }
}

bool EventHub::IsRegistered(const DAEventListener* listener) const {
  return std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end();
}
