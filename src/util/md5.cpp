#include "util/md5.h"

#include <cstring>
#include <iostream>

namespace {

constexpr uint32_t kInitialState[4] = {0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u};

// Per-step shift amounts and sine-derived constants of RFC 1321.
constexpr int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                            5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                            4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                            6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

uint32_t RotateLeft(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

const char kHexDigits[] = "0123456789abcdef";

}  // namespace

MD5::MD5() { std::memcpy(state_, kInitialState, sizeof(state_)); }

MD5::MD5(const void* bytes, size_t length) : MD5() {
  update(bytes, length);
  finalize();
}

MD5::MD5(std::FILE* stream) : MD5() {
  if (stream != nullptr) {
    unsigned char chunk[1024];
    size_t read = 0;
    while ((read = std::fread(chunk, 1, sizeof(chunk), stream)) != 0) update(chunk, read);
    std::fclose(stream);
  }
  finalize();
}

void MD5::update(const void* bytes, size_t length) {
  if (finalized_) {
    std::cerr << "MD5::update:  Can't update a finalized digest!" << std::endl;
    return;
  }
  const auto* input = static_cast<const uint8_t*>(bytes);
  size_t index = static_cast<size_t>((bitCount_ >> 3) & 0x3F);
  bitCount_ += static_cast<uint64_t>(length) << 3;  // modulo 2^64, as the standard says
  size_t offset = 0;
  if (index != 0) {
    const size_t fill = 64 - index;
    if (length < fill) {
      std::memcpy(buffer_ + index, input, length);
      return;
    }
    std::memcpy(buffer_ + index, input, fill);
    Transform(buffer_);
    offset = fill;
  }
  for (; offset + 64 <= length; offset += 64) Transform(input + offset);
  if (offset < length) std::memcpy(buffer_, input + offset, length - offset);
}

void MD5::finalize() {
  if (finalized_) {
    std::cerr << "MD5::finalize:  Already finalized this digest!" << std::endl;
    return;
  }
  uint8_t lengthBytes[8];
  for (int i = 0; i < 8; ++i) lengthBytes[i] = static_cast<uint8_t>(bitCount_ >> (8 * i));
  const size_t index = static_cast<size_t>((bitCount_ >> 3) & 0x3F);
  const size_t padding = index < 56 ? 56 - index : 120 - index;
  uint8_t pad[64] = {0x80};
  update(pad, padding);
  update(lengthBytes, 8);
  for (int i = 0; i < 4; ++i) {
    for (int b = 0; b < 4; ++b) digest_[4 * i + b] = static_cast<uint8_t>(state_[i] >> (8 * b));
  }
  std::memset(buffer_, 0, sizeof(buffer_));
  finalized_ = true;
}

std::string MD5::hex_digest() const {
  if (!finalized_) {
    std::cerr << "MD5::hex_digest:  Can't get digest if you haven't finalized the digest!" << std::endl;
    return {};
  }
  std::string hex;
  for (uint8_t byte : digest_) {
    hex += kHexDigits[byte >> 4];
    hex += kHexDigits[byte & 0x0F];
  }
  return hex;
}

bool MD5::hex_digest(wchar_t* out) const {
  if (!finalized_ || out == nullptr) return false;
  for (size_t i = 0; i < 16; ++i) {
    out[2 * i] = static_cast<wchar_t>(kHexDigits[digest_[i] >> 4]);
    out[2 * i + 1] = static_cast<wchar_t>(kHexDigits[digest_[i] & 0x0F]);
  }
  out[32] = L'\0';
  return true;
}

void MD5::Transform(const uint8_t block[64]) {
  uint32_t words[16];
  for (int i = 0; i < 16; ++i) {
    words[i] = uint32_t(block[4 * i]) | (uint32_t(block[4 * i + 1]) << 8) | (uint32_t(block[4 * i + 2]) << 16) |
               (uint32_t(block[4 * i + 3]) << 24);
  }
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  for (int step = 0; step < 64; ++step) {
    uint32_t mixed;
    int word;
    if (step < 16) {
      mixed = (b & c) | (~b & d);
      word = step;
    } else if (step < 32) {
      mixed = (d & b) | (~d & c);
      word = (5 * step + 1) % 16;
    } else if (step < 48) {
      mixed = b ^ c ^ d;
      word = (3 * step + 5) % 16;
    } else {
      mixed = c ^ (b | ~d);
      word = (7 * step) % 16;
    }
    const uint32_t rotated = RotateLeft(a + mixed + kSine[step] + words[word], kShift[step]);
    a = d;
    d = c;
    c = b;
    b = b + rotated;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}
