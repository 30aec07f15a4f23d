#include "platform/string_resource.h"

namespace platform::posix {
// A program defines these (generated from its resource script); without one the table is empty.
extern const StringResourceEntry kStringResources[];
extern const unsigned kStringResourceCount;
__attribute__((weak)) extern const StringResourceEntry kStringResources[] = {{0, nullptr}};
__attribute__((weak)) extern const unsigned kStringResourceCount = 0;
}  // namespace platform::posix

namespace platform {

std::wstring LoadStringResource(uint32_t id) {
  for (unsigned i = 0; i < posix::kStringResourceCount; ++i) {
    if (posix::kStringResources[i].id == id) return posix::kStringResources[i].text;
  }
  return {};
}

}  // namespace platform
