#include "util/md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iostream>
#include <sstream>
#include <string>

namespace {

// RFC 1321, appendix A.5.
const struct {
  const char* input;
  const char* digest;
} kVectors[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

class CapturedStandardError {
 public:
  CapturedStandardError() : previous_(std::cerr.rdbuf(text_.rdbuf())) {}
  ~CapturedStandardError() { std::cerr.rdbuf(previous_); }
  std::string Text() const { return text_.str(); }

 private:
  std::ostringstream text_;
  std::streambuf* previous_;
};

TEST(Md5, RfcVectorsInOneBlockAndInUnevenPieces) {
  for (const auto& v : kVectors) {
    EXPECT_EQ(MD5(v.input, std::strlen(v.input)).hex_digest(), v.digest) << v.input;

    MD5 pieces;
    const size_t length = std::strlen(v.input);
    size_t offset = 0;
    for (size_t step = 1; offset < length; step = step * 3 + 1) {  // 1, 4, 13, 40, ... crosses blocks
      const size_t take = std::min(step, length - offset);
      pieces.update(v.input + offset, take);
      offset += take;
    }
    pieces.finalize();
    EXPECT_EQ(pieces.hex_digest(), v.digest) << v.input;
  }
}

TEST(Md5, PaddingBoundariesAndALongInput) {
  // 55, 56 and 64 bytes put the length into the same block, the next one and after a full block.
  const struct {
    size_t length;
    const char* digest;
  } lengths[] = {
      {55, "ef1772b6dff9a122358552954ad0df65"},
      {56, "3b0c8ac703f828b04c6c197006d17218"},
      {64, "014842d480b571495a4a0363793f7367"},
  };
  for (const auto& c : lengths) {
    const std::string input(c.length, 'a');
    EXPECT_EQ(MD5(input.data(), input.size()).hex_digest(), c.digest) << c.length;
  }
  const std::string million(1000000, 'a');
  EXPECT_EQ(MD5(million.data(), million.size()).hex_digest(), "7707d6ae4e027c70eea2a935c2296f21");
}

TEST(Md5, ReadsAnOpenStreamToItsEnd) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  const std::string content(3000, 'a');  // several 1024-byte reads, the last one short
  ASSERT_EQ(std::fwrite(content.data(), 1, content.size(), file), content.size());
  std::rewind(file);
  const MD5 fromStream(file);  // closes the stream
  EXPECT_EQ(fromStream.hex_digest(), MD5(content.data(), content.size()).hex_digest());

  EXPECT_EQ(MD5(static_cast<std::FILE*>(nullptr)).hex_digest(), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(Md5, MisuseWritesOneLineAndChangesNothing) {
  MD5 digest("abc", 3);
  {
    CapturedStandardError err;
    digest.update("more", 4);
    EXPECT_EQ(err.Text(), "MD5::update:  Can't update a finalized digest!\n");
  }
  {
    CapturedStandardError err;
    digest.finalize();
    EXPECT_EQ(err.Text(), "MD5::finalize:  Already finalized this digest!\n");
  }
  EXPECT_EQ(digest.hex_digest(), "900150983cd24fb0d6963f7d28e17f72");

  MD5 open;
  open.update("abc", 3);
  wchar_t wide[33];
  std::wmemset(wide, L'#', 33);
  {
    CapturedStandardError err;
    EXPECT_EQ(open.hex_digest(), "");
    EXPECT_EQ(err.Text(), "MD5::hex_digest:  Can't get digest if you haven't finalized the digest!\n");
  }
  EXPECT_FALSE(open.hex_digest(wide));
  EXPECT_EQ(wide[0], L'#');

  open.finalize();
  EXPECT_TRUE(open.hex_digest(wide));
  EXPECT_EQ(std::wstring(wide), L"900150983cd24fb0d6963f7d28e17f72");
}

}  // namespace
