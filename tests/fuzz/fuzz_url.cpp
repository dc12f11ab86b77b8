// The URL split on any text: an accepted URL has a host, a port and an object that starts with "/"
// and carries no byte the request line cannot; composed again and split again it gives the same
// parts. The page origin of any text: http(s), a host and no path, read again the same origin, and
// listed by a list of itself.
#include <fuzzer/FuzzedDataProvider.h>

#include <memory>

#include "command/page_origin.h"
#include "modules/http_url.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int capacity = in.ConsumeIntegralInRange<int>(1, 4096);
  const std::string url = in.ConsumeRemainingBytesAsString();
  static char origin[PAGE_ORIGIN_CAPACITY], originAgain[PAGE_ORIGIN_CAPACITY];
  if (PageOrigin_FromUrl(url.data(), static_cast<int>(url.size()), origin, capacity < PAGE_ORIGIN_CAPACITY ? capacity : PAGE_ORIGIN_CAPACITY)) {
    const size_t length = strlen(origin);
    FUZZ_CHECK(strncmp(origin, "http://", 7) == 0 || strncmp(origin, "https://", 8) == 0);
    const char* host = strstr(origin, "://") + 3;
    FUZZ_CHECK(host[0] != '\0' && strcspn(host, "/?#@;\\ ABCDEFGHIJKLMNOPQRSTUVWXYZ") == strlen(host));
    FUZZ_CHECK(PageOrigin_FromUrl(origin, static_cast<int>(length), originAgain, sizeof originAgain));
    FUZZ_CHECK(strcmp(origin, originAgain) == 0);
    FUZZ_CHECK(PageOrigin_Listed(origin, origin));
  } else {
    FUZZ_CHECK(origin[0] == '\0' || capacity < 1);
  }
  static UrlParts parts, again;
  if (!Url_Split(url.c_str(), &parts)) {
    FUZZ_CHECK(parts.service == 0 && parts.host[0] == '\0' && parts.object[0] == '\0');
    return 0;
  }
  FUZZ_CHECK(parts.host[0] != '\0' && parts.port != 0 && parts.object[0] == '/');
  for (const char* p = parts.object; *p != '\0'; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    FUZZ_CHECK(c > 0x20 && c < 0x7F && c != '#');
  }
  static char composed[URL_HOST_CAPACITY + URL_OBJECT_CAPACITY + 32];
  FUZZ_CHECK(Url_Compose(&parts, composed, sizeof composed));
  FUZZ_CHECK(Url_Split(composed, &again));
  FUZZ_CHECK(strcmp(again.host, parts.host) == 0 && again.port == parts.port);
  FUZZ_CHECK(strcmp(again.object, parts.object) == 0);
  FUZZ_CHECK(Url_UsesTls(&again) == Url_UsesTls(&parts));
  // A smaller buffer is refused or holds the whole URL, never a cut one.
  std::unique_ptr<char[]> small(new char[capacity]);
  if (Url_Compose(&parts, small.get(), capacity)) FUZZ_CHECK(strcmp(small.get(), composed) == 0);
  return 0;
}
