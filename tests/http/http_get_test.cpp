// HttpGetToFile and DownloadTableFile against the local gateways on loopback (started by the ctest
// fixture). The same cases run natively (libcurl) and under Wine (WinINet).
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "common/scratch_dir.h"
#include "http/gateway_env.h"
#include "modules/http_client.h"
#include "support/status.h"

namespace {

constexpr int Z_DATA_ERROR_CODE = -3;  // zlib: the data check failed

class HttpGet : public ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    ASSERT_TRUE(env().ok()) << "gateway/gateway.env missing: the gateway fixture did not run";
    gz_ = Path("module.dll.gz");
    installed_ = Path("module.dll");
  }
  static const GatewayEnv& env() { return GatewayEnv::Get(); }
  static std::string Module(const std::string& file) { return ReadBytes(GatewayEnv::ModulePath(file)); }
  std::string Plain(const std::string& file) const { return env().Url("http", "127.0.0.1", "http", file); }

  int Fetch(const std::string& url) { return HttpGetToFile(url.c_str(), gz_.c_str(), installed_.c_str()); }

  // The fetch failed before unpacking: the earlier installed file is as it was.
  void ExpectInstalledUntouched(int result, const std::string& url) {
    WriteBytes(installed_, "installed before");
    EXPECT_EQ(Fetch(url), result) << url;
    EXPECT_EQ(ReadBytes(installed_), "installed before");
  }

  // A failure of the connection itself (refused, dropped, TLS refused): a platform error code, never
  // an HTTP status or ERR_NO_FILE, and neither file touched.
  void ExpectPlatformFailure(const std::string& url) {
    WriteBytes(installed_, "installed before");
    const int result = Fetch(url);
    EXPECT_NE(result, 0) << url;
    EXPECT_NE(result, ERR_NO_FILE) << url;
    EXPECT_FALSE(result >= 100 && result <= 599) << url << " gave an HTTP status: " << result;
    EXPECT_FALSE(Exists(gz_));
    EXPECT_EQ(ReadBytes(installed_), "installed before");
  }

  // Lines of the gateways' request log that mention text.
  static std::vector<std::string> LogLines(const std::string& text) {
    std::ifstream log(GatewayEnv::RequestLog());
    std::vector<std::string> lines;
    for (std::string line; std::getline(log, line);) {
      if (line.find(text) != std::string::npos) lines.push_back(line);
    }
    return lines;
  }

  std::string gz_, installed_;
};

TEST_F(HttpGet, GzipBodyIsUnpackedOverTheInstalledFile) {
  WriteBytes(installed_, "old version");
  ASSERT_EQ(Fetch(Plain("hello.dll")), 0);
  EXPECT_EQ(ReadBytes(installed_), Module("hello.dll"));
  EXPECT_FALSE(Exists(gz_));
}

TEST_F(HttpGet, LargeBodyArrivesInManyReads) {
  ASSERT_EQ(Fetch(Plain("big.bin")), 0);
  const std::string expected = Module("big.bin");
  ASSERT_GT(expected.size(), 3u * HTTP_READ_CHUNK);
  EXPECT_TRUE(ReadBytes(installed_) == expected);
  EXPECT_FALSE(Exists(gz_));
}

TEST_F(HttpGet, EmptyModuleGivesEmptyFile) {
  ASSERT_EQ(Fetch(Plain("empty.bin")), 0);
  EXPECT_TRUE(Exists(installed_));
  EXPECT_EQ(ReadBytes(installed_), "");
}

TEST_F(HttpGet, PlainBodyIsInstalledUnchanged) {
  ASSERT_EQ(Fetch(Plain("plain.txt")), 0);
  EXPECT_EQ(ReadBytes(installed_), "plain body, not gzip\r\n");
  EXPECT_FALSE(Exists(gz_));
}

TEST_F(HttpGet, SlowBodyIsWaitedFor) {
  ASSERT_EQ(Fetch(Plain("slow.dll")), 0);
  EXPECT_EQ(ReadBytes(installed_), Module("slow.dll"));
}

TEST_F(HttpGet, RequestIsOneHttp10GetWithTheFormHeader) {
  const std::string probe = "probe=" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name());
  ASSERT_EQ(Fetch(Plain("hello.dll?" + probe)), 0);
  const std::vector<std::string> lines = LogLines(probe);
  ASSERT_EQ(lines.size(), 1u) << "exactly one request";
  const std::string& line = lines[0];
  EXPECT_EQ(line.rfind("GET /plugin/file/hello.dll?" + probe + " HTTP/1.0 plain", 0), 0u) << line;
  EXPECT_NE(line.find("| Content-Type: application/x-www-form-urlencoded"), std::string::npos) << line;
  EXPECT_NE(line.find("| Accept: */*"), std::string::npos) << line;
  EXPECT_NE(line.find("| Pragma: no-cache"), std::string::npos) << line;
  EXPECT_NE((line + " |").find("| User-Agent: http_client_tests |"), std::string::npos) << line;  // the host program
}

TEST_F(HttpGet, NotFoundCreatesNothing) {
  ExpectInstalledUntouched(404, Plain("missing.dll"));
  EXPECT_FALSE(Exists(gz_));
  ExpectInstalledUntouched(404, Plain("no-such-file.dll"));
  EXPECT_FALSE(Exists(gz_));
}

TEST_F(HttpGet, ServerErrorIsItsStatus) {
  ExpectInstalledUntouched(500, Plain("broken.dll"));
  EXPECT_FALSE(Exists(gz_));
}

TEST_F(HttpGet, DamagedGzipLeavesTheInstalledFileAsItWas) {
  ExpectInstalledUntouched(Z_DATA_ERROR_CODE, Plain("damaged.dll"));
  EXPECT_FALSE(Exists(gz_));
  EXPECT_FALSE(Exists(installed_ + HTTP_STAGED_SUFFIX)) << "no temporary file";
}

TEST_F(HttpGet, BodyShorterThanAnnouncedIsNeverInstalled) {
  // Gzip data cut short, and a plain body (which the unpacking would copy as it is) cut short.
  ExpectInstalledUntouched(ERR_HTTP_SHORT_BODY, Plain("cut.dll"));
  ExpectInstalledUntouched(ERR_HTTP_SHORT_BODY, Plain("short.bin"));
}

TEST_F(HttpGet, DroppedConnectionIsAPlatformError) { ExpectPlatformFailure(Plain("drop.dll")); }

TEST_F(HttpGet, NobodyListening) {
  ExpectPlatformFailure("http://127.0.0.1:1/plugin/file/hello.dll");  // nothing listens on port 1
}

TEST_F(HttpGet, CompressedFileInMissingFolder) {
  WriteBytes(installed_, "installed before");
  EXPECT_EQ(HttpGetToFile(Plain("hello.dll").c_str(), Path("no-folder/module.dll.gz").c_str(), installed_.c_str()),
            ERR_NO_FILE);
  EXPECT_EQ(ReadBytes(installed_), "installed before");
}

TEST_F(HttpGet, UrlThatCannotBeSplit) {
  for (const char* url : {"ftp://127.0.0.1/plugin/file/hello.dll", "127.0.0.1/plugin/file/hello.dll", ""}) {
    EXPECT_NE(Fetch(url), 0) << url;
    EXPECT_FALSE(Exists(gz_));
    EXPECT_FALSE(Exists(installed_));
  }
}

// --- TLS: certificates are checked; https always and http on port 443 run over TLS ---

class HttpsGet : public HttpGet {};

TEST_F(HttpsGet, TrustedCertificateOnAnyPort) {
  ASSERT_EQ(Fetch(env().Url("https", "localhost", "https", "hello.dll?case=trusted")), 0);
  EXPECT_EQ(ReadBytes(installed_), Module("hello.dll"));
  const std::vector<std::string> lines = LogLines("?case=trusted ");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(" HTTP/1.0 tls "), std::string::npos) << lines[0];
}

TEST_F(HttpsGet, HttpSchemeOnPort443UsesTls) {
  ASSERT_EQ(env().Port("tls443"), "443");
  ASSERT_EQ(Fetch("http://localhost:443/plugin/file/big.bin?case=port443"), 0);
  EXPECT_TRUE(ReadBytes(installed_) == Module("big.bin"));
  const std::vector<std::string> lines = LogLines("?case=port443 ");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(" tls "), std::string::npos) << lines[0];
}

TEST_F(HttpsGet, HttpsSchemeNeverFallsBackToPlainHttp) {
  // The plain listener cannot complete a TLS handshake: the fetch fails instead of going out in clear.
  WriteBytes(installed_, "installed before");
  EXPECT_NE(Fetch(env().Url("https", "localhost", "http", "hello.dll?case=noclear")), 0);
  EXPECT_EQ(ReadBytes(installed_), "installed before");
  EXPECT_TRUE(LogLines("?case=noclear").empty());
}

TEST_F(HttpsGet, SelfSignedCertificateIsRefused) {
  ExpectPlatformFailure(env().Url("https", "localhost", "selfsigned", "hello.dll?case=selfsigned"));
  EXPECT_TRUE(LogLines("?case=selfsigned").empty()) << "no request may be sent";
}

TEST_F(HttpsGet, CertificateForAnotherNameIsRefused) {
  ExpectPlatformFailure(env().Url("https", "localhost", "wrongname", "hello.dll?case=wrongname"));
  EXPECT_TRUE(LogLines("?case=wrongname").empty()) << "no request may be sent";
}

// --- Version table download ---

class TableDownload : public HttpGet {};

TEST_F(TableDownload, StoresTheTable) {
  const std::string path = Path("MirovanVer.tbl.tmp");
  WriteBytes(path, "an older table that is longer than the new one ..........................................");
  ASSERT_EQ(DownloadTableFile(Plain("MirovanVer.tbl").c_str(), path.c_str()), 0);
  const std::string table = ReadBytes(path);
  EXPECT_EQ(table.rfind("[FILE_LIST]\r\nListCount=", 0), 0u) << table;
  EXPECT_NE(table.find("[hello.dll]\r\nURL=plugin/file/hello.dll\r\n"), std::string::npos);
  EXPECT_EQ(table.find("older"), std::string::npos) << "replaced, not overwritten in place";
}

TEST_F(TableDownload, FailureLeavesNoTable) {
  const std::string path = Path("MirovanVer.tbl.tmp");
  WriteBytes(path, "[FILE_LIST]\r\nListCount=1\r\n1=stale.dll\r\n");  // left by an earlier run
  EXPECT_EQ(DownloadTableFile(Plain("missing.dll").c_str(), path.c_str()), 404);
  EXPECT_FALSE(Exists(path));
  EXPECT_NE(DownloadTableFile("http://127.0.0.1:1/plugin/file/MirovanVer.tbl", path.c_str()), 0);
  EXPECT_FALSE(Exists(path));
}

}  // namespace
