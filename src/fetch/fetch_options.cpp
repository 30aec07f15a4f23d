#include "fetch/fetch_options.h"

#include <cwctype>

namespace {

bool ParseUnsigned(const std::wstring& text, uint64_t* value) {
  if (text.empty() || text.size() > 19) return false;
  uint64_t result = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    result = result * 10 + static_cast<uint64_t>(c - L'0');
  }
  *value = result;
  return true;
}

bool IsHexDigest(const std::wstring& text) {
  if (text.size() != 32) return false;
  for (wchar_t c : text) {
    if (!std::iswxdigit(c)) return false;
  }
  return true;
}

}  // namespace

const wchar_t* FetchUsage() {
  return L"usage: devu_fetch --url URL --size BYTES --out PATH [--md5 HEX] [--ip ADDRESS]...\n"
         L"                  [--cdn HOST [--cdn-min-speed BYTES_PER_SECOND]] [--quiet]\n"
         L"Downloads URL to PATH from the URL's host and up to two of the spare addresses (each\n"
         L"reached on the URL's port with the URL's host name), switching to the CDN host when the\n"
         L"download is slower than the threshold for 20 s or every source fails. An interrupted\n"
         L"download resumes when started again with the same arguments.\n"
         L"  --url URL            the file to download (http or https)\n"
         L"  --size BYTES         its exact size\n"
         L"  --out PATH           where to put it\n"
         L"  --md5 HEX            its MD5 digest; checked at the end\n"
         L"  --ip ADDRESS         a spare address of the URL's host (repeatable)\n"
         L"  --cdn HOST           a CDN host serving the same path\n"
         L"  --cdn-min-speed N    bytes per second below which the CDN joins (default 0)\n"
         L"  --quiet              no progress line\n"
         L"Exit status: 0 done; 1 the download failed (the error pair is printed); 2 wrong\n"
         L"arguments; 3 the file was downloaded but its MD5 digest differs.\n";
}

bool ParseFetchOptions(int argc, const wchar_t* const* argv, FetchOptions* options, std::wstring* error) {
  bool haveSize = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring name = argv[i];
    if (name == L"--help" || name == L"-h") {
      options->help = true;
      return true;
    }
    if (name == L"--quiet") {
      options->quiet = true;
      continue;
    }
    if (i + 1 >= argc) {
      *error = L"missing value after " + name;
      return false;
    }
    const std::wstring value = argv[++i];
    uint64_t number = 0;
    if (name == L"--url") {
      options->url = value;
    } else if (name == L"--ip") {
      options->ips.push_back(value);
    } else if (name == L"--cdn") {
      options->cdnHost = value;
    } else if (name == L"--cdn-min-speed") {
      if (!ParseUnsigned(value, &number) || number > INT64_MAX) {
        *error = L"--cdn-min-speed needs a number of bytes per second";
        return false;
      }
      options->cdnMinSpeed = static_cast<int64_t>(number);
    } else if (name == L"--size") {
      if (!ParseUnsigned(value, &number)) {
        *error = L"--size needs a number of bytes";
        return false;
      }
      options->size = number;
      haveSize = true;
    } else if (name == L"--md5") {
      if (!IsHexDigest(value)) {
        *error = L"--md5 needs 32 hexadecimal digits";
        return false;
      }
      options->md5 = value;
    } else if (name == L"--out") {
      options->out = value;
    } else {
      *error = L"unknown option " + name;
      return false;
    }
  }
  if (options->url.empty() || options->out.empty() || !haveSize) {
    *error = L"--url, --size and --out are required";
    return false;
  }
  return true;
}
