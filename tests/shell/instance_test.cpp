// Instance callbacks: creation and destruction, the answers of NPP_GetValue, the scriptable object
// and its references, and what is left after the page lets go.
#include <string.h>

#include "common/plugin_fixture.h"

namespace {

class InstanceTest : public PluginTest {};

TEST_F(InstanceTest, CallbacksRefuseANullInstance) {
  NPPluginFuncs& p = browser.pluginFuncs();
  char mime[] = "application/mirovanplugin";
  NPWindow window = {};
  const char* text = nullptr;
  EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, p.newp(mime, nullptr, 1, 0, nullptr, nullptr, nullptr));
  EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, p.destroy(nullptr, nullptr));
  EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, p.setwindow(nullptr, &window));
  EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, p.getvalue(nullptr, NPPVpluginNameString, &text));
  EXPECT_EQ(nullptr, text);
}

TEST_F(InstanceTest, InstanceWithoutPluginObjectAnswersGenericError) {
  NPPluginFuncs& p = browser.pluginFuncs();
  NPP_t bare = {nullptr, nullptr};
  const char* text = nullptr;
  NPObject* object = nullptr;
  NPWindow window = {};
  EXPECT_EQ(NPERR_GENERIC_ERROR, p.getvalue(&bare, NPPVpluginNameString, &text));
  EXPECT_EQ(nullptr, text);
  EXPECT_EQ(NPERR_GENERIC_ERROR, p.getvalue(&bare, NPPVpluginScriptableNPObject, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(NPERR_GENERIC_ERROR, p.setwindow(&bare, &window));
  EXPECT_EQ(NPERR_NO_ERROR, p.destroy(&bare, nullptr));
}

TEST_F(InstanceTest, GetValueAnswersNameDescriptionAndNothingElse) {
  NPP instance = browser.NewInstance();
  ASSERT_NE(nullptr, instance);
  NPPluginFuncs& p = browser.pluginFuncs();
  const char* text = nullptr;
  ASSERT_EQ(NPERR_NO_ERROR, p.getvalue(instance, NPPVpluginNameString, &text));
  EXPECT_STREQ("DADazirerOdod", text);
  ASSERT_EQ(NPERR_NO_ERROR, p.getvalue(instance, NPPVpluginDescriptionString, &text));
  EXPECT_STREQ("NPRuntime scriptability API test plugin", text);
  for (NPPVariable other : {NPPVpluginWindowBool, NPPVpluginTransparentBool, NPPVpluginNeedsXEmbed,
                            static_cast<NPPVariable>(999)}) {
    void* stored = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(NPERR_GENERIC_ERROR, p.getvalue(instance, other, &stored));
    EXPECT_EQ(reinterpret_cast<void*>(0x1234), stored);
  }
}

TEST_F(InstanceTest, ScriptableObjectIsOneObjectWithOneReferencePerRequest) {
  NPP instance = browser.NewInstance();
  ASSERT_NE(nullptr, instance);
  NPObject* first = browser.ScriptableObject(instance);
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(2u, browser.RefCount(first));  // the instance's and the caller's
  EXPECT_EQ(first, browser.ScriptableObject(instance));
  EXPECT_EQ(first, browser.ScriptableObject(instance));
  EXPECT_EQ(4u, browser.RefCount(first));
  EXPECT_EQ(NPERR_NO_ERROR, browser.DestroyInstance(instance));
  EXPECT_EQ(3u, browser.RefCount(first));  // the instance's own reference is gone
  for (int i = 0; i < 3; ++i) browser.funcs().releaseobject(first);
  EXPECT_FALSE(browser.IsLive(first));
  ExpectNothingLeft();
}

TEST_F(InstanceTest, FailedCreationGivesNullAndTheNextRequestRetries) {
  NPP instance = browser.NewInstance();
  ASSERT_NE(nullptr, instance);
  browser.failCreateObject = true;
  NPError err = NPERR_GENERIC_ERROR;
  EXPECT_EQ(nullptr, browser.ScriptableObject(instance, &err));
  EXPECT_EQ(NPERR_NO_ERROR, err);
  browser.failCreateObject = false;
  NPObject* object = browser.ScriptableObject(instance, &err);
  EXPECT_EQ(NPERR_NO_ERROR, err);
  ASSERT_NE(nullptr, object);
  EXPECT_EQ(2u, browser.RefCount(object));
  browser.funcs().releaseobject(object);
  ExpectNothingLeft();
}

TEST_F(InstanceTest, NothingLeftAfterDestroyAndThePageReleases) {
  NPP instance = browser.NewInstance();
  ASSERT_NE(nullptr, instance);
  NPObject* object = browser.ScriptableObject(instance);
  ASSERT_NE(nullptr, object);
  host::PageValue result;
  EXPECT_TRUE(browser.Invoke(object, "MV_start", {}, &result));
  EXPECT_TRUE(browser.Invoke(object, "MV_getdata", {host::Browser::StringArg("res_cd")}, &result));
  EXPECT_EQ(0u, browser.OutstandingBlocks());  // every result string went back with its variant
  EXPECT_EQ(NPERR_NO_ERROR, browser.DestroyInstance(instance));
  browser.funcs().releaseobject(object);
  ExpectNothingLeft();
}

TEST_F(InstanceTest, TwoInstancesReleaseTheWindowObjectOnce) {
  NPP first = browser.NewInstance();
  NPP second = browser.NewInstance();
  ASSERT_NE(nullptr, first);
  ASSERT_NE(nullptr, second);
  NPObject* window = browser.window();
  // The page's own reference plus the one the instances keep in their shared slot.
  EXPECT_EQ(2u, browser.RefCount(window));
  EXPECT_EQ(NPERR_NO_ERROR, browser.DestroyInstance(first));
  EXPECT_EQ(1u, browser.RefCount(window));
  EXPECT_EQ(NPERR_NO_ERROR, browser.DestroyInstance(second));
  EXPECT_EQ(1u, browser.RefCount(window));
  ExpectNothingLeft();
}

TEST_F(InstanceTest, SetWindowChecksInOrderAndNeverDetaches) {
  NPP instance = browser.NewInstance();
  ASSERT_NE(nullptr, instance);
  EXPECT_EQ(NPERR_GENERIC_ERROR, browser.pluginFuncs().setwindow(instance, nullptr));
  // Null native windows: accepted, nothing attached, the instance lives on.
  EXPECT_EQ(NPERR_NO_ERROR, browser.SetWindow(instance, nullptr, 100, 50));
  EXPECT_EQ(NPERR_NO_ERROR, browser.SetWindow(instance, nullptr, 0, 0));
  EXPECT_NE(nullptr, instance->pdata);
  EXPECT_EQ(NPERR_NO_ERROR, browser.DestroyInstance(instance));
  ExpectNothingLeft();
}

TEST_F(InstanceTest, RepeatedDestroyOfOneHandleFreesOnce) {
  NPP instance = browser.NewInstance();
  ASSERT_NE(nullptr, instance);
  EXPECT_EQ(NPERR_NO_ERROR, browser.pluginFuncs().destroy(instance, nullptr));
  EXPECT_EQ(nullptr, instance->pdata);
  EXPECT_EQ(NPERR_NO_ERROR, browser.DestroyInstance(instance));
  ExpectNothingLeft();
}

}  // namespace
