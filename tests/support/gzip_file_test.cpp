#include "support/gzip_file.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "common/scratch_dir.h"
#include "support/status.h"

namespace {

class GzipTest : public ScratchDirTest {
 protected:
  // Packs bytes into a gzip file with GzipCompressFile and returns the compressed bytes.
  std::string Pack(const std::string& bytes) {
    WriteBytes(Path("plain"), bytes);
    EXPECT_EQ(0, GzipCompressFile(Path("plain").c_str(), Path("packed.gz").c_str()));
    EXPECT_FALSE(Exists(Path("plain"))) << "the source is consumed";
    return ReadBytes(Path("packed.gz"));
  }
};

std::string Sample(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s.push_back(static_cast<char>((i * 7919u) % 251u));
  return s;
}

TEST_F(GzipTest, RoundTripGivesBackTheSameBytes) {
  const std::string data = Sample(3 * GZIP_CHUNK + 123);  // several chunks, binary bytes
  const std::string packed = Pack(data);
  ASSERT_GE(packed.size(), 2u);
  EXPECT_EQ('\x1F', packed[0]);
  EXPECT_EQ('\x8B', packed[1]);
  EXPECT_EQ(0, GzipDecompressFile(Path("packed.gz").c_str(), Path("out.bin").c_str()));
  EXPECT_EQ(data, ReadBytes(Path("out.bin")));
  EXPECT_FALSE(Exists(Path("packed.gz")));
}

TEST_F(GzipTest, EmptyFilePacksToAValidEmptyStream) {
  Pack("");
  EXPECT_EQ(0, GzipDecompressFile(Path("packed.gz").c_str(), Path("out").c_str()));
  EXPECT_TRUE(Exists(Path("out")));
  EXPECT_EQ("", ReadBytes(Path("out")));
}

TEST_F(GzipTest, PlainInputIsCopiedThrough) {
  WriteBytes(Path("text.gz"), "not gzip at all\r\n\x01\x02");
  EXPECT_EQ(0, GzipDecompressFile(Path("text.gz").c_str(), Path("copy").c_str()));
  EXPECT_EQ("not gzip at all\r\n\x01\x02", ReadBytes(Path("copy")));
  EXPECT_FALSE(Exists(Path("text.gz")));
}

TEST_F(GzipTest, DamagedDataFailsAndLeavesNothing) {
  std::string packed = Pack(Sample(50000));
  for (size_t i = 20; i < 60; ++i) packed[i] = static_cast<char>(packed[i] ^ 0x5A);
  WriteBytes(Path("bad.gz"), packed);
  WriteBytes(Path("dest"), "old module");
  const int rc = GzipDecompressFile(Path("bad.gz").c_str(), Path("dest").c_str());
  EXPECT_LT(rc, 0);
  EXPECT_NE(ERR_NO_FILE, rc);
  EXPECT_FALSE(Exists(Path("dest"))) << "no file under the destination name";
  EXPECT_FALSE(Exists(Path("bad.gz")));
}

TEST_F(GzipTest, StreamCutShortFailsLikeDamagedData) {
  const std::string packed = Pack(Sample(40000));
  WriteBytes(Path("cut.gz"), packed.substr(0, packed.size() / 2));
  EXPECT_EQ(Z_BUF_ERROR, GzipDecompressFile(Path("cut.gz").c_str(), Path("dest").c_str()));
  EXPECT_FALSE(Exists(Path("dest")));
  EXPECT_FALSE(Exists(Path("cut.gz")));
  // Only the eight-byte trailer missing: still incomplete.
  WriteBytes(Path("cut2.gz"), packed.substr(0, packed.size() - 8));
  EXPECT_EQ(Z_BUF_ERROR, GzipDecompressFile(Path("cut2.gz").c_str(), Path("dest").c_str()));
  EXPECT_FALSE(Exists(Path("dest")));
}

TEST_F(GzipTest, MissingSourceRemovesAnExistingDestination) {
  WriteBytes(Path("dest"), "stale");
  EXPECT_EQ(ERR_NO_FILE, GzipDecompressFile(Path("absent.gz").c_str(), Path("dest").c_str()));
  EXPECT_FALSE(Exists(Path("dest")));
  EXPECT_EQ(ERR_NO_FILE, GzipDecompressFile(nullptr, Path("dest").c_str()));
  EXPECT_EQ(ERR_NO_FILE, GzipCompressFile(Path("absent").c_str(), Path("x.gz").c_str()));
}

TEST_F(GzipTest, UnopenableDestinationStillConsumesTheSource) {
  Pack("data");
  EXPECT_EQ(ERR_NO_FILE, GzipDecompressFile(Path("packed.gz").c_str(), Path("no/dir/out").c_str()));
  EXPECT_FALSE(Exists(Path("packed.gz")));
  WriteBytes(Path("plain"), "x");
  EXPECT_EQ(ERR_NO_FILE, GzipDecompressFile(Path("plain").c_str(), nullptr));
  EXPECT_FALSE(Exists(Path("plain")));
  WriteBytes(Path("plain"), "x");
  EXPECT_EQ(ERR_NO_FILE, GzipCompressFile(Path("plain").c_str(), Path("no/dir/x.gz").c_str()));
  EXPECT_FALSE(Exists(Path("plain")));
}

}  // namespace
