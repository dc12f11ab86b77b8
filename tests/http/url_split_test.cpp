// The URL split and the agent text: what reaches the network is decided here.
#include <gtest/gtest.h>

#include <string>

#include "modules/http_client.h"
#include "modules/http_url.h"

namespace {

UrlParts Split(const char* url) {
  UrlParts parts;
  EXPECT_TRUE(Url_Split(url, &parts)) << url;
  return parts;
}

TEST(UrlSplit, SchemeDefaultsPortAndRoot) {
  UrlParts p = Split("http://gw.example");
  EXPECT_EQ(p.service, URL_SERVICE_HTTP);
  EXPECT_STREQ(p.host, "gw.example");
  EXPECT_EQ(p.port, 80);
  EXPECT_STREQ(p.object, "/");
  p = Split("HTTPS://gw.example/plugin/file/a.dll");
  EXPECT_EQ(p.service, URL_SERVICE_HTTPS);
  EXPECT_EQ(p.port, 443);
  EXPECT_STREQ(p.object, "/plugin/file/a.dll");
}

TEST(UrlSplit, PortQueryAndFragment) {
  UrlParts p = Split("http://127.0.0.1:8080/plugin/file/a.dll?v=2&x=%41#part");
  EXPECT_STREQ(p.host, "127.0.0.1");
  EXPECT_EQ(p.port, 8080);
  EXPECT_STREQ(p.object, "/plugin/file/a.dll?v=2&x=%41");  // the fragment is never sent
  EXPECT_STREQ(Split("http://h?q=1").object, "/?q=1");
  EXPECT_EQ(Split("http://h:/x").port, 80);  // empty port: the default
  EXPECT_EQ(Split("https://h:65535/").port, 65535);
}

TEST(UrlSplit, UnsafeBytesAreEscapedInTheObject) {
  // Space, a CP949 double-byte character, a backslash and a quote never reach the request line raw.
  EXPECT_STREQ(Split("http://h/a b/\xc7\xd1\\\"x").object, "/a%20b/%C7%D1%5C%22x");
}

TEST(UrlSplit, RefusesWhatItCannotFetch) {
  const char* bad[] = {
      "ftp://h/x",          "h/x",          "http:/h/x",       "http://",        "http:///x",
      "http://:80/x",       "http://u@h/x", "http://u:p@h/x",  "http://h:0/",    "http://h:65536/",
      "http://h:8x/",       "http://[::1]/", "http://h h/",     "http://h\\x/",   "file:///etc/passwd",
  };
  for (const char* url : bad) {
    UrlParts parts;
    EXPECT_FALSE(Url_Split(url, &parts)) << url;
    EXPECT_EQ(parts.host[0], '\0') << url;
  }
  UrlParts parts;
  EXPECT_FALSE(Url_Split(nullptr, &parts));
  EXPECT_FALSE(Url_Split(("http://" + std::string(URL_HOST_CAPACITY, 'h') + "/").c_str(), &parts));
  EXPECT_FALSE(Url_Split(("http://h/" + std::string(URL_OBJECT_CAPACITY, 'o')).c_str(), &parts));
  // Escaping counts against the capacity too.
  EXPECT_FALSE(Url_Split(("http://h/" + std::string(URL_OBJECT_CAPACITY / 3 + 1, ' ')).c_str(), &parts));
}

TEST(UrlSplit, TlsForHttpsOnAnyPortAndForPort443) {
  char composed[512];
  struct Case {
    const char* url;
    bool tls;
    const char* composed;
  } cases[] = {
      {"https://localhost/x", true, "https://localhost:443/x"},
      {"https://localhost:8443/x", true, "https://localhost:8443/x"},
      {"http://localhost:443/x", true, "https://localhost:443/x"},
      {"http://localhost:8080/x", false, "http://localhost:8080/x"},
      {"http://localhost/x", false, "http://localhost:80/x"},
  };
  for (const Case& c : cases) {
    UrlParts p = Split(c.url);
    EXPECT_EQ(Url_UsesTls(&p), c.tls) << c.url;
    ASSERT_TRUE(Url_Compose(&p, composed, sizeof composed));
    EXPECT_STREQ(composed, c.composed);
  }
  UrlParts p = Split("http://localhost/x");
  EXPECT_FALSE(Url_Compose(&p, composed, 10));
}

TEST(HttpAgent, ProgramBaseNameOrDefault) {
  char agent[16];
  Http_AgentFromProgramPath("C:\\Program Files\\Mozilla Firefox\\firefox.exe", agent, sizeof agent);
  EXPECT_STREQ(agent, "firefox");
  Http_AgentFromProgramPath("/usr/lib/browser/web.host.bin", agent, sizeof agent);
  EXPECT_STREQ(agent, "web.host");
  Http_AgentFromProgramPath("/opt/a-rather-long-program-name", agent, sizeof agent);
  EXPECT_STREQ(agent, "a-rather-long-p");  // cut to the buffer
  Http_AgentFromProgramPath("", agent, sizeof agent);
  EXPECT_STREQ(agent, HTTP_DEFAULT_AGENT);
  Http_AgentFromProgramPath(nullptr, agent, sizeof agent);
  EXPECT_STREQ(agent, HTTP_DEFAULT_AGENT);
  Http_AgentFromProgramPath("C:\\dir\\", agent, sizeof agent);
  EXPECT_STREQ(agent, HTTP_DEFAULT_AGENT);
}

}  // namespace
