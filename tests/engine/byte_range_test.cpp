#include "engine/byte_range.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

using Ranges = std::vector<std::pair<uint64_t, uint64_t>>;
constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();

RangeList Make(const Ranges& ranges) {
  RangeList list;
  for (const auto& [s, e] : ranges) EXPECT_TRUE(list.AddRange(s, e));
  return list;
}

Ranges Contents(const RangeList& list) {
  Ranges out;
  for (const ByteRange& r : list.Ranges()) out.emplace_back(r.start, r.end);
  return out;
}

enum class Op { Add, Subtract };

struct EditCase {
  const char* name;
  Ranges before;
  Op op;
  uint64_t s, e;
  bool result;
  Ranges after;  // in list order
};

TEST(RangeListTest, AddAndSubtractTable) {
  const EditCase cases[] = {
      {"touching ranges stay apart", {{0, 99}}, Op::Add, 100, 199, true, {{0, 99}, {100, 199}}},
      {"inside an existing range", {{0, 99}}, Op::Add, 50, 60, false, {{0, 99}}},
      {"same range moves to the end", {{0, 99}, {200, 299}}, Op::Add, 0, 99, true,
       {{200, 299}, {0, 99}}},
      {"overlap at the end merges", {{0, 99}, {200, 299}}, Op::Add, 90, 150, true,
       {{200, 299}, {0, 150}}},
      {"overlap at the start merges", {{100, 199}}, Op::Add, 50, 120, true, {{50, 199}}},
      {"bridges two ranges", {{0, 99}, {500, 599}, {200, 299}}, Op::Add, 50, 250, true,
       {{500, 599}, {0, 299}}},
      {"covers several", {{10, 19}, {30, 39}}, Op::Add, 0, 100, true, {{0, 100}}},
      {"reversed add", {{0, 99}}, Op::Add, 5, 4, false, {{0, 99}}},
      {"add at the top of the offsets", {}, Op::Add, kMax - 1, kMax, true, {{kMax - 1, kMax}}},
      {"split in the middle", {{0, 99}}, Op::Subtract, 10, 19, true, {{0, 9}, {20, 99}}},
      {"split keeps list order", {{0, 99}, {200, 299}}, Op::Subtract, 10, 19, true,
       {{0, 9}, {20, 99}, {200, 299}}},
      {"whole range removed", {{0, 99}}, Op::Subtract, 0, 99, true, {}},
      {"no overlap", {{0, 99}}, Op::Subtract, 200, 300, false, {{0, 99}}},
      {"trim the start", {{0, 99}}, Op::Subtract, 0, 49, true, {{50, 99}}},
      {"trim the end", {{0, 99}}, Op::Subtract, 50, 150, true, {{0, 49}}},
      {"across several", {{0, 99}, {200, 299}, {400, 499}}, Op::Subtract, 50, 449, true,
       {{0, 49}, {450, 499}}},
      {"reversed subtract", {{0, 99}}, Op::Subtract, 20, 10, false, {{0, 99}}},
      {"one byte at offset 0", {{0, 0}, {5, 9}}, Op::Subtract, 0, 0, true, {{5, 9}}},
      {"top byte of the offsets", {{0, kMax}}, Op::Subtract, kMax, kMax, true, {{0, kMax - 1}}},
  };
  for (const EditCase& c : cases) {
    SCOPED_TRACE(c.name);
    RangeList list = Make(c.before);
    const bool result = c.op == Op::Add ? list.AddRange(c.s, c.e) : list.SubtractRange(c.s, c.e);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(Contents(list), c.after);
  }
}

struct CountCase {
  Ranges ranges;
  uint64_t limit;
  uint64_t count;
  bool emptyUpTo;
};

TEST(RangeListTest, CountAndEmptinessUpToALimit) {
  const CountCase cases[] = {
      {{{0, 49}, {80, 150}}, 99, 70, false},
      {{{100, 200}}, 99, 0, true},
      {{{100, 200}}, 100, 1, false},
      {{}, 99, 0, true},
      {{{0, 99}}, 99, 100, false},
      // The whole offset space: 2^64 bytes do not fit, so the count saturates, not wraps to 0.
      {{{0, kMax}}, kMax, kMax, false},
      {{{0, 9}, {10, kMax}}, kMax, kMax, false},
  };
  for (const CountCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "limit " << c.limit << ", " << c.ranges.size() << " ranges");
    const RangeList list = Make(c.ranges);
    EXPECT_EQ(list.CountUpTo(c.limit), c.count);
    EXPECT_EQ(list.IsEmptyUpTo(c.limit), c.emptyUpTo);
  }
}

TEST(RangeListTest, CopyFromReplacesContentsInOrder) {
  RangeList source = Make({{200, 299}, {0, 99}});
  RangeList target = Make({{1000, 2000}});
  target.CopyFrom(source);
  EXPECT_EQ(Contents(target), (Ranges{{200, 299}, {0, 99}}));
  // A deep copy: editing the copy leaves the source alone.
  target.SubtractRange(0, 99);
  EXPECT_EQ(Contents(source), (Ranges{{200, 299}, {0, 99}}));
  target.Clear();
  EXPECT_TRUE(target.IsEmpty());
}

}  // namespace
