#include <curl/curl.h>
#include <stdlib.h>

#include "payment/gateway_control.h"

namespace {

size_t Collect(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

}  // namespace

int GatewayControl_Request(const char* method, const char* path, const std::string& body, std::string* answer) {
  answer->clear();
  CURL* curl = curl_easy_init();
  if (curl == nullptr) return -1;
  const std::string url = std::string("http://127.0.0.1:18080") + path;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, answer);
  if (std::string(method) == "POST") {
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
  }
  long status = -1;
  if (curl_easy_perform(curl) == CURLE_OK) curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_cleanup(curl);
  return static_cast<int>(status);
}

int ModuleTrace_Read(const char* variable) {
  const char* value = getenv(variable);
  return value != nullptr ? atoi(value) : 0;
}
