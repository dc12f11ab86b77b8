// The scripting sequence each new instance runs on the page: what it prints and which window
// properties it leaves behind.
#include <string.h>

#include "common/plugin_fixture.h"

namespace {

using host::PageValue;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

class SelfTestTest : public PluginTest {
 protected:
  // Creates an instance and returns what it printed.
  std::string NewInstancePrinting(NPP* instance) {
    CaptureStdout();
    *instance = browser.NewInstance();
    fflush(stdout);
    return GetCapturedStdout();
  }
};

TEST_F(SelfTestTest, PrintsTheThreeLinesAndSetsTheWindowProperties) {
  browser.SetTitle("Checkout");
  NPP instance = nullptr;
  EXPECT_EQ("rval = 46\ntitle = Checkout\nObject set/get test succeeded!\n", NewInstancePrinting(&instance));
  ASSERT_NE(nullptr, instance);

  PageValue foof = browser.Property(browser.window(), "foof");
  EXPECT_EQ(NPVariantType_Int32, foof.type);
  EXPECT_EQ(46, foof.intValue);
  PageValue doc = browser.Property(browser.window(), "plugindoc");
  EXPECT_EQ(NPVariantType_Object, doc.type);
  EXPECT_EQ(browser.document(), doc.object);
  PageValue pluginobj = browser.Property(browser.window(), "pluginobj");
  ASSERT_EQ(NPVariantType_Object, pluginobj.type);
  // The window property alone keeps the self-test's command object.
  EXPECT_EQ(1u, browser.RefCount(pluginobj.object));
  EXPECT_TRUE(browser.evaluated().empty());
  ExpectNothingLeft();
}

TEST_F(SelfTestTest, PageWithoutTitlePrintsAnEmptyTitle) {
  browser.SetTitle("");
  NPP instance = nullptr;
  EXPECT_EQ("rval = 46\ntitle = \nObject set/get test succeeded!\n", NewInstancePrinting(&instance));
}

TEST_F(SelfTestTest, KoreanTitleIsPrintedAsItsUtf8Bytes) {
  browser.SetTitle("\xEA\xB2\xB0\xEC\xA0\x9C");  // "결제"
  NPP instance = nullptr;
  EXPECT_EQ("rval = 46\ntitle = \xEA\xB2\xB0\xEC\xA0\x9C\nObject set/get test succeeded!\n",
            NewInstancePrinting(&instance));
}

TEST_F(SelfTestTest, DocumentThatIsNoObjectSkipsTitleAndPlugindoc) {
  browser.SetDocumentValue(7);
  NPP instance = nullptr;
  EXPECT_EQ("rval = 46\nObject set/get test succeeded!\n", NewInstancePrinting(&instance));
  EXPECT_FALSE(browser.HasOwnProperty(browser.window(), "plugindoc"));
  EXPECT_EQ(46, browser.Property(browser.window(), "foof").intValue);
  EXPECT_EQ(NPVariantType_Object, browser.Property(browser.window(), "pluginobj").type);
  ExpectNothingLeft();
}

TEST_F(SelfTestTest, IdentifierThatIsNoStringRaisesTheAlert) {
  browser.failIdentifierIsString = true;
  NPP instance = nullptr;
  NewInstancePrinting(&instance);
  ASSERT_EQ(1u, browser.evaluated().size());
  EXPECT_EQ("alert('NPN_IdentifierIsString() test failed!');", browser.evaluated()[0]);
  EXPECT_EQ(47u, browser.evaluated()[0].size());
}

TEST_F(SelfTestTest, WithoutAWindowObjectTheInstanceStillStarts) {
  browser.failWindowObject = true;
  NPP instance = nullptr;
  EXPECT_EQ("Object set/get test FAILED!\n", NewInstancePrinting(&instance));
  ASSERT_NE(nullptr, instance);
  EXPECT_FALSE(browser.HasOwnProperty(browser.window(), "foof"));
  ExpectNothingLeft();
}

TEST_F(SelfTestTest, AnInstanceWithoutAWindowObjectLeavesAnotherPagesWindowAlone) {
  NPP first = nullptr;
  NPP second = nullptr;
  NewInstancePrinting(&first);
  PageValue own;  // the first page gives "foof" a value of its own
  own.type = NPVariantType_String;
  own.text = "page one";
  browser.SetProperty(browser.window(), "foof", own);
  NPObject* firstObject = browser.Property(browser.window(), "pluginobj").object;

  browser.refuseWindowObjectOnce = true;  // the second page's browser gives its instance none
  EXPECT_EQ("Object set/get test FAILED!\n", NewInstancePrinting(&second));
  ASSERT_NE(nullptr, second);
  EXPECT_EQ("page one", browser.Property(browser.window(), "foof").text);
  EXPECT_EQ(firstObject, browser.Property(browser.window(), "pluginobj").object);
  ExpectNothingLeft();
}

// A window on which every property reads as a string, as on a page that redefined them.
bool ReadsAsString(NPObject*, NPIdentifier, NPVariant* result) {
  char* text = static_cast<char*>(host::Browser::current()->funcs().memalloc(4));
  memcpy(text, "str", 4);
  STRINGN_TO_NPVARIANT(text, 3, *result);
  return true;
}
bool AcceptsAnything(NPObject*, NPIdentifier, const NPVariant*) { return true; }
NPClass stringWindowClass = {NP_CLASS_STRUCT_VERSION, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, ReadsAsString, AcceptsAnything, nullptr, nullptr, nullptr};

TEST_F(SelfTestTest, ValuesReadAreReleasedWhateverTheirType) {
  NPObject* window = browser.funcs().createobject(nullptr, &stringWindowClass);
  browser.UseWindowObject(window);
  browser.funcs().releaseobject(window);
  NPP instance = nullptr;
  EXPECT_EQ("Object set/get test FAILED!\n", NewInstancePrinting(&instance));
  ExpectNothingLeft();
}

TEST_F(SelfTestTest, FailedObjectCreationLeavesPluginobjUnset) {
  browser.failCreateObject = true;
  NPP instance = nullptr;
  EXPECT_EQ("rval = 46\nObject set/get test FAILED!\n", NewInstancePrinting(&instance));
  ASSERT_NE(nullptr, instance);
  EXPECT_FALSE(browser.HasOwnProperty(browser.window(), "pluginobj"));
  browser.failCreateObject = false;
  ExpectNothingLeft();
}

TEST_F(SelfTestTest, LaterInstanceReplacesPluginobj) {
  NPP first = nullptr;
  NPP second = nullptr;
  NewInstancePrinting(&first);
  NPObject* firstObject = browser.Property(browser.window(), "pluginobj").object;
  ASSERT_TRUE(browser.IsLive(firstObject));
  NewInstancePrinting(&second);
  NPObject* secondObject = browser.Property(browser.window(), "pluginobj").object;
  EXPECT_NE(firstObject, secondObject);
  EXPECT_FALSE(browser.IsLive(firstObject));  // nothing else held the first one
  EXPECT_EQ(46, browser.Property(browser.window(), "foof").intValue);
  // The property outlives both instances.
  browser.DestroyInstance(first);
  browser.DestroyInstance(second);
  EXPECT_TRUE(browser.IsLive(secondObject));
  ExpectNothingLeft();
}

TEST_F(SelfTestTest, PluginobjIsASecondIndependentCommandObject) {
  NPP instance = nullptr;
  NewInstancePrinting(&instance);
  NPObject* pluginobj = browser.Property(browser.window(), "pluginobj").object;
  NPObject* element = browser.ScriptableObject(instance);
  ASSERT_NE(nullptr, pluginobj);
  ASSERT_NE(nullptr, element);
  EXPECT_NE(pluginobj, element);
  // Each object has its own result area: a failed start on one leaves the other's empty (a page
  // of a listed origin, so that the start fails at its missing gateway setting).
  browser.SetPageUrl("http://127.0.0.1:18080/checkout.html");
  PageValue result;
  EXPECT_TRUE(browser.Invoke(pluginobj, "MV_start", {}, &result));
  EXPECT_EQ("FAIL", result.text);
  EXPECT_TRUE(browser.Invoke(pluginobj, "MV_getdata", {host::Browser::StringArg("res_cd")}, &result));
  EXPECT_EQ("P003", result.text);
  EXPECT_TRUE(browser.Invoke(element, "MV_getdata", {host::Browser::StringArg("res_cd")}, &result));
  EXPECT_EQ("", result.text);
  browser.funcs().releaseobject(element);
  ExpectNothingLeft();
}

}  // namespace
