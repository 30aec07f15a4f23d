#pragma once
// The command line of devu_fetch.
#include <cstdint>
#include <string>
#include <vector>

struct FetchOptions {
  std::wstring url;
  std::vector<std::wstring> ips;  // spare addresses of the URL's host
  std::wstring cdnHost;
  int64_t cdnMinSpeed = 0;
  uint64_t size = 0;
  std::wstring md5;  // expected digest, lowercase or uppercase hex; empty: not checked
  std::wstring out;  // as given; made full by the caller
  bool quiet = false;
  bool help = false;
};

// Parses argv[1..]; false with `error` set when the line is wrong.
bool ParseFetchOptions(int argc, const wchar_t* const* argv, FetchOptions* options, std::wstring* error);

const wchar_t* FetchUsage();
