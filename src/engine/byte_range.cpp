#include "engine/byte_range.h"

#include <algorithm>
#include <limits>

bool RangeList::AddRange(uint64_t s, uint64_t e) {
  if (s > e) return false;
  for (auto it = ranges_.begin(); it != ranges_.end();) {
    const ByteRange r = *it;
    if (s <= r.start && r.end <= e) {
      it = ranges_.erase(it);
    } else if (s <= r.start && r.start <= e && e < r.end) {
      e = r.end;
      it = ranges_.erase(it);
    } else if (r.start < s && s <= r.end && r.end <= e) {
      s = r.start;
      it = ranges_.erase(it);
    } else if (r.start < s && e < r.end) {
      return false;
    } else {
      ++it;
    }
  }
  ranges_.push_back({s, e});
  return true;
}

bool RangeList::SubtractRange(uint64_t s, uint64_t e) {
  if (s > e) return false;
  bool changed = false;
  for (auto it = ranges_.begin(); it != ranges_.end();) {
    ByteRange& r = *it;
    if (s <= r.start && r.end <= e) {
      it = ranges_.erase(it);
      changed = true;
    } else if (s <= r.start && r.start <= e && e < r.end) {
      r.start = e + 1;
      changed = true;
      ++it;
    } else if (r.start < s && s <= r.end && r.end <= e) {
      r.end = s - 1;
      changed = true;
      ++it;
    } else if (r.start < s && e < r.end) {
      const uint64_t oldEnd = r.end;
      r.end = s - 1;
      ranges_.insert(std::next(it), ByteRange{e + 1, oldEnd});
      // Ranges never overlap, so nothing further can meet [s, e].
      return true;
    } else {
      ++it;
    }
  }
  return changed;
}

bool RangeList::IsEmptyUpTo(uint64_t limit) const {
  return std::all_of(ranges_.begin(), ranges_.end(),
                     [limit](const ByteRange& r) { return r.start > limit; });
}

uint64_t RangeList::CountUpTo(uint64_t limit) const {
  constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
  // limit + 1 bytes exist at or below limit; at limit = max that is 2^64, which saturates.
  const uint64_t cap = limit == kMax ? kMax : limit + 1;
  uint64_t total = 0;
  for (const ByteRange& r : ranges_) {
    if (r.start > limit) continue;
    const uint64_t last = std::min(r.end, limit);
    const uint64_t span = last - r.start;  // bytes minus one, cannot wrap
    if (span >= cap - total) return cap;
    total += span + 1;
  }
  return std::min(total, cap);
}

void RangeList::CopyFrom(const RangeList& other) {
  if (this != &other) ranges_ = other.ranges_;
}

void RangeList::Clear() { ranges_.clear(); }
