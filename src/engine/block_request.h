#pragma once
// One block of a file handed to one peer, and the block sizes.
#include <cstdint>

// HTTP peers fetch 1.25 MiB per request; any other kind of peer a quarter MiB.
constexpr uint64_t kHttpBlockSize = 0x140000;
constexpr uint64_t kOtherBlockSize = 0x40000;

struct BlockRequest {
  uint64_t start = 0;
  uint64_t end = 0;       // inclusive
  uint32_t received = 0;  // bytes of the block on disk, counted from start
};
