#include "http/url_resolve.h"

#include <curl/curl.h>

#include <memory>

#include "util/text_convert.h"

std::wstring ResolveLocation(const std::wstring& base, const std::wstring& location) {
  if (location.empty()) return std::wstring();
  std::unique_ptr<CURLU, void (*)(CURLU*)> url(curl_url(), curl_url_cleanup);
  if (url == nullptr) return std::wstring();
  // A base that does not parse leaves only an absolute location usable.
  curl_url_set(url.get(), CURLUPART_URL, WideToUtf8(base).c_str(), 0);
  if (curl_url_set(url.get(), CURLUPART_URL, WideToUtf8(location).c_str(), 0) != CURLUE_OK) return std::wstring();
  char* text = nullptr;
  if (curl_url_get(url.get(), CURLUPART_URL, &text, 0) != CURLUE_OK || text == nullptr) return std::wstring();
  std::wstring resolved = Utf8ToWide(text);
  curl_free(text);
  return resolved;
}
