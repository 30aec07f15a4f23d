#pragma once
// MD5 digest (RFC 1321): checks a downloaded package and signs the statistics upload.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

class MD5 {
 public:
  MD5();
  // Digest of a byte block, finalised.
  MD5(const void* bytes, size_t length);
  // Digest of an open stream read to its end; the stream is closed, the digest finalised. A null
  // stream gives the digest of no bytes.
  explicit MD5(std::FILE* stream);

  void update(const void* bytes, size_t length);
  void finalize();
  bool finalized() const { return finalized_; }

  // 32 lowercase hexadecimal digits; empty (with a line on standard error) before finalize.
  std::string hex_digest() const;
  // The same digits into `out` (at least 33 characters), terminated; nothing is written before
  // finalize. Returns whether it wrote.
  bool hex_digest(wchar_t* out) const;

 private:
  void Transform(const uint8_t block[64]);

  uint32_t state_[4];
  uint64_t bitCount_ = 0;
  uint8_t buffer_[64] = {};
  uint8_t digest_[16] = {};
  bool finalized_ = false;
};
