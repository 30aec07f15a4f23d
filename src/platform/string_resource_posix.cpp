#include "platform/string_resource.h"

namespace platform::posix {
// A program defines these (generated from its resource script). They are weak references, so a
// program without a table (a test) links too, and finds every id missing.
extern const StringResourceEntry kStringResources[] __attribute__((weak));
extern const unsigned kStringResourceCount __attribute__((weak));
}  // namespace platform::posix

namespace platform {

std::wstring LoadStringResource(uint32_t id) {
  if (&posix::kStringResourceCount == nullptr) return {};
  for (unsigned i = 0; i < posix::kStringResourceCount; ++i) {
    if (posix::kStringResources[i].id == id) return posix::kStringResources[i].text;
  }
  return {};
}

}  // namespace platform
