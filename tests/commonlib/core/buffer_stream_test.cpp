#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "commonlib/core/input_buffer_stream.h"
#include "commonlib/core/output_buffer_stream.h"
#include "commonlib/core/proto_value_writer.h"
#include "hex_bytes.h"

namespace {

using hex_bytes::FromHex;
using hex_bytes::ToHex;

std::string Written(const OBufferStream& stream) {
  return std::string(reinterpret_cast<const char*>(stream.GetData()), stream.GetLength());
}

TEST(IBufferStream, ReadTakesAllOrNothing) {
  const char source[] = "abcde";
  IBufferStream stream(source, 5, false);
  EXPECT_EQ(stream.GetSize(), 5u);
  char buffer[8] = {};
  EXPECT_EQ(stream.Read(buffer, 2), 2);
  EXPECT_EQ(std::string(buffer, 2), "ab");
  EXPECT_EQ(stream.Read(buffer, 4), -1);  // only 3 left: nothing consumed
  EXPECT_EQ(stream.GetPosition(), 2u);
  EXPECT_EQ(stream.Read(buffer, 0), 0);
  EXPECT_EQ(stream.Read(buffer, 3), 3);
  EXPECT_EQ(std::string(buffer, 3), "cde");
  EXPECT_EQ(stream.Read(buffer, 1), 0);  // exhausted
  EXPECT_EQ(stream.Read(buffer, 0), 0);
}

TEST(IBufferStream, CopyOwnsItsBytesInPlaceDoesNot) {
  char source[] = "xyz";
  IBufferStream copied(source, 3, true);
  IBufferStream inPlace(source, 3, false);
  source[0] = 'Q';
  char buffer[3];
  ASSERT_EQ(copied.Read(buffer, 3), 3);
  EXPECT_EQ(std::string(buffer, 3), "xyz");
  ASSERT_EQ(inPlace.Read(buffer, 3), 3);
  EXPECT_EQ(std::string(buffer, 3), "Qyz");
}

TEST(IBufferStream, CloseLeavesNothingToRead) {
  const char source[] = "abc";
  for (bool copy : {false, true}) {
    IBufferStream stream(source, 3, copy);
    char buffer[1];
    ASSERT_EQ(stream.Read(buffer, 1), 1);
    stream.Close();
    EXPECT_EQ(stream.GetSize(), 0u);
    EXPECT_EQ(stream.GetPosition(), 0u);
    EXPECT_EQ(stream.Read(buffer, 1), 0);
    stream.Close();  // twice is fine
  }
}

TEST(OBufferStream, StartsAt65535AndDoublesWhenTheSpareWouldNotFit) {
  OBufferStream stream;
  EXPECT_EQ(stream.GetCapacity(), 65535u);
  EXPECT_EQ(stream.GetLength(), 0u);
  const std::string exact(65525, 'a');  // 65525 + 10 spare fits exactly
  ASSERT_EQ(stream.Write(exact.data(), static_cast<uint32_t>(exact.size())), 65525);
  EXPECT_EQ(stream.GetCapacity(), 65535u);
  ASSERT_EQ(stream.Write("b", 1), 1);
  EXPECT_EQ(stream.GetCapacity(), 131070u);
  EXPECT_EQ(stream.GetLength(), 65526u);
  EXPECT_EQ(Written(stream), exact + "b");  // the bytes moved into the grown buffer
}

TEST(OBufferStream, LargeWriteGrowsByRepeatedDoubling) {
  OBufferStream stream;
  std::string data(200000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  ASSERT_EQ(stream.Write("head", 4), 4);
  ASSERT_EQ(stream.Write(data.data(), static_cast<uint32_t>(data.size())), 200000);
  EXPECT_EQ(stream.GetCapacity(), 262140u);
  EXPECT_EQ(Written(stream), "head" + data);
}

TEST(OBufferStream, CloseFreesAndAWriteAfterwardsStartsAt524288) {
  OBufferStream stream;
  ASSERT_EQ(stream.Write("abc", 3), 3);
  stream.Close();
  EXPECT_EQ(stream.GetCapacity(), 0u);
  EXPECT_EQ(stream.GetLength(), 0u);
  EXPECT_EQ(stream.GetData(), nullptr);
  ASSERT_EQ(stream.Write("z", 1), 1);
  EXPECT_EQ(stream.GetCapacity(), 524288u);
  EXPECT_EQ(Written(stream), "z");
  stream.Finish();  // closes
  EXPECT_EQ(stream.GetCapacity(), 0u);
}

TEST(OProtoValueStream, VarintEncodings) {
  struct Case {
    uint64_t number;
    const char* hex;
  } cases[] = {
      {0, "00"},
      {1, "01"},
      {127, "7F"},
      {128, "80 01"},
      {300, "AC 02"},
      {16383, "FF 7F"},
      {16384, "80 80 01"},
      {0xFFFFFFFFull, "FF FF FF FF 0F"},
      {0x8000000000000000ull, "80 80 80 80 80 80 80 80 80 01"},
      {~0ull, "FF FF FF FF FF FF FF FF FF 01"},
  };
  for (const Case& c : cases) {
    OProtoValueStream stream;
    const int32_t written = stream.WriteVarint(c.number);
    EXPECT_EQ(ToHex(Written(stream)), c.hex) << c.number;
    EXPECT_EQ(written, static_cast<int32_t>(FromHex(c.hex).size()));
  }
}

// After Close there is no room for an in-place varint: it goes through the scratch path.
TEST(OProtoValueStream, VarintAfterCloseGoesThroughWrite) {
  OProtoValueStream stream;
  stream.Close();
  EXPECT_EQ(stream.WriteVarint(300), 2);
  EXPECT_EQ(ToHex(Written(stream)), "AC 02");
  EXPECT_EQ(stream.GetCapacity(), 524288u);
}

TEST(OProtoValueStream, WriteBytesPrefixesTheLength) {
  OProtoValueStream stream;
  EXPECT_EQ(stream.WriteBytes("hi", 2), 3);
  EXPECT_EQ(stream.WriteBytes(nullptr, 0), 1);
  const std::string long_(200, 'x');
  EXPECT_EQ(stream.WriteBytes(long_.data(), 200), 202);
  EXPECT_EQ(ToHex(Written(stream).substr(0, 6)), "02 68 69 00 C8 01");
}

}  // namespace
