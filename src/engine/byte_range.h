#pragma once
// Inclusive byte ranges of a file and an unsorted list of non-overlapping ranges.
#include <cstdint>
#include <list>

struct ByteRange {
  uint64_t start = 0;
  uint64_t end = 0;  // inclusive
};

// Ranges in insertion order. No two ranges overlap; ranges that only touch are kept apart.
class RangeList {
 public:
  // Adds [s, e], absorbing the ranges it overlaps; the merged range goes to the end of the list.
  // False when s > e or when one range already holds all of [s, e].
  bool AddRange(uint64_t s, uint64_t e);
  // Removes [s, e] from the list, trimming or splitting ranges in place; true when it changed.
  bool SubtractRange(uint64_t s, uint64_t e);
  // True when no range starts at or below `limit`.
  bool IsEmptyUpTo(uint64_t limit) const;
  // Bytes at or below `limit` covered by the list; saturates instead of wrapping.
  uint64_t CountUpTo(uint64_t limit) const;
  void CopyFrom(const RangeList& other);
  void Clear();

  bool IsEmpty() const { return ranges_.empty(); }
  const std::list<ByteRange>& Ranges() const { return ranges_; }

 private:
  std::list<ByteRange> ranges_;
};
