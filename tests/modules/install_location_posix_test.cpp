// The native install root: the per-user data folder of the XDG base directories.
#include <gtest/gtest.h>

#include <string>

#include "modules/install_location.h"
#include "test_env.h"

namespace {

TEST(InstallLocationPosixTest, AbsoluteXdgDataHomeIsTheRoot) {
  EnvOverride env;
  env.Set("XDG_DATA_HOME", "/srv/data home");
  env.Set("HOME", "/home/u1");
  char buffer[INSTALL_ROOT_CAPACITY];
  ASSERT_NE(nullptr, GetInstallRoot(buffer, sizeof buffer));
  EXPECT_STREQ("/srv/data home", buffer);
}

TEST(InstallLocationPosixTest, MissingOrRelativeXdgDataHomeFallsBackToHome) {
  EnvOverride env;
  env.Set("HOME", "/home/u1");
  char buffer[INSTALL_ROOT_CAPACITY];
  for (const char* dataHome : {static_cast<const char*>(nullptr), "relative/data", ""}) {
    env.Set("XDG_DATA_HOME", dataHome);
    ASSERT_NE(nullptr, GetInstallRoot(buffer, sizeof buffer));
    EXPECT_STREQ("/home/u1/.local/share", buffer);
  }
}

TEST(InstallLocationPosixTest, RootTooLongForTheBufferGivesNoRoot) {
  EnvOverride env;
  const std::string longHome = "/" + std::string(250, 'h');
  env.Set("XDG_DATA_HOME", nullptr);
  env.Set("HOME", longHome.c_str());
  char buffer[INSTALL_ROOT_CAPACITY];
  EXPECT_EQ(nullptr, GetInstallRoot(buffer, sizeof buffer));
  EXPECT_STREQ("", buffer);
}

}  // namespace
