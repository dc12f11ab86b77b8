// A test with a browser that has loaded the built plug-in and run its entry points.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "host/browser.h"

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(browser.Start(PluginPath())) << "plug-in " << PluginPath() << ": " << browser.lastError();
  }
  // The plug-in file this test loads.
  virtual const char* PluginPath() const { return VEXO_PLUGIN_PATH; }
  // A real browser crashes on a scripting call on a null object.
  void TearDown() override { EXPECT_EQ(0u, browser.NullObjectCalls()) << "calls on a null object"; }

  // Destroys every instance and closes the page, then checks that the plug-in left nothing behind:
  // no object alive, no memalloc block outstanding, no release of a freed object, no bad free.
  void ExpectNothingLeft() {
    browser.Stop();
    EXPECT_EQ(0u, browser.LiveObjects());
    EXPECT_EQ(0u, browser.OutstandingBlocks());
    EXPECT_EQ(0u, browser.ReleasesOfDeadObjects());
    EXPECT_EQ(0u, browser.BadFrees());
  }

  static std::string Text(const host::PageValue& v) { return v.text; }

  host::Browser browser;
};

// A test with one plug-in instance and its scriptable object, as a page that embeds the plug-in.
class PluginObjectTest : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    instance = browser.NewInstance();
    ASSERT_NE(nullptr, instance);
    object = browser.ScriptableObject(instance);
    ASSERT_NE(nullptr, object);
  }
  void TearDown() override {
    if (object != nullptr) browser.funcs().releaseobject(object);
    object = nullptr;
    ExpectNothingLeft();
    PluginTest::TearDown();
  }

  NPP instance = nullptr;
  NPObject* object = nullptr;
};
