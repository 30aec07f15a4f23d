#pragma once
// The request log of a test HTTP server (tools/http_test_server.py): what the client sent.
#include <curl/curl.h>
#include <json/json.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_servers.h"

struct LoggedRequest {
  std::string method;
  std::string path;
  std::string range;  // empty when none
  std::string host;
  int connectionRequest = 0;  // above 1: the connection was reused
  bool https = false;
  uint64_t sent = 0;  // body bytes of a generated file written so far
};

namespace server_log_detail {

inline size_t Collect(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

// A plain blocking request to the server's control paths; the body, empty on failure.
inline std::string Fetch(const TestServer& server, const std::string& path, bool post) {
  std::unique_ptr<CURL, void (*)(CURL*)> easy(curl_easy_init(), curl_easy_cleanup);
  std::string body;
  const std::string url = "http://" + server.host + ":" + std::to_string(server.port) + path;
  curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, &Collect);
  curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &body);
  if (post) curl_easy_setopt(easy.get(), CURLOPT_POSTFIELDS, "");
  if (curl_easy_perform(easy.get()) != CURLE_OK) body.clear();
  return body;
}

}  // namespace server_log_detail

inline void ClearServerLog(const TestServer& server) { server_log_detail::Fetch(server, "/_log/clear", true); }

inline std::vector<LoggedRequest> ServerLog(const TestServer& server) {
  std::vector<LoggedRequest> requests;
  Json::Value root;
  std::istringstream text(server_log_detail::Fetch(server, "/_log", false));
  Json::CharReaderBuilder builder;
  std::string errors;
  if (!Json::parseFromStream(builder, text, &root, &errors) || !root.isArray()) return requests;
  for (const Json::Value& entry : root) {
    LoggedRequest request;
    request.method = entry["method"].asString();
    request.path = entry["path"].asString();
    request.range = entry["range"].isString() ? entry["range"].asString() : std::string();
    request.host = entry["host"].isString() ? entry["host"].asString() : std::string();
    request.connectionRequest = entry["connection_request"].asInt();
    request.https = entry["https"].asBool();
    request.sent = entry["sent"].asUInt64();
    requests.push_back(request);
  }
  return requests;
}
