#include "http/curl_listener.h"

#include <mutex>
#include <set>

namespace {

std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}

std::set<const CurlListener*>& Registry() {
  static std::set<const CurlListener*> listeners;
  return listeners;
}

}  // namespace

CurlListener::CurlListener() {
  std::lock_guard<std::mutex> guard(RegistryLock());
  Registry().insert(this);
}

CurlListener::~CurlListener() {
  std::lock_guard<std::mutex> guard(RegistryLock());
  Registry().erase(this);
}

bool CurlListener::IsAlive(const CurlListener* listener) {
  if (listener == nullptr) return false;
  std::lock_guard<std::mutex> guard(RegistryLock());
  return Registry().count(listener) != 0;
}
