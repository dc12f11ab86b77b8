// The command object as page script sees it through the real plug-in: method lookup, dispatch,
// argument and result conversion, the default method and the absent properties.
#include <string.h>

#include <string>

#include "command/zavavodur.h"
#include "common/plugin_fixture.h"

namespace {

using host::Browser;
using host::PageValue;

// CP949 and UTF-8 forms of the Korean texts used below.
const char STATE_ANSI[] = "\xBB\xF3\xC5\xC2";                                        // 상태
const char STATE_UTF8[] = "\xEC\x83\x81\xED\x83\x9C";                                // 상태
const char DONE_ANSI[] = "\xB0\xE1\xC1\xA6\xBF\xCF\xB7\xE1";                         // 결제완료
const char DONE_UTF8[] = "\xEA\xB2\xB0\xEC\xA0\x9C\xEC\x99\x84\xEB\xA3\x8C";         // 결제완료
const char GA_ANSI[] = "\xB0\xA1";                                                    // 가
const char GA_UTF8[] = "\xEA\xB0\x80";                                                // 가

class CommandObjectTest : public PluginObjectTest {
 protected:
  // The result area, as the main payment module writes it through the store block. The object
  // comes from the plug-in library, whose type information this program does not share: no
  // dynamic type check on the cast.
  __attribute__((no_sanitize("vptr"))) static char* ResultArea(NPObject* o) {
    return static_cast<ZAVavodur*>(static_cast<ScriptObjectBase*>(o))->m_result;
  }

  __attribute__((no_sanitize("vptr"))) static NPP NppOf(NPObject* o) { return static_cast<ScriptObjectBase*>(o)->npp; }

  bool HasMethod(const char* name) { return object->_class->hasMethod(object, browser.Id(name)); }
};

TEST_F(CommandObjectTest, HasExactlyTheSixMethodsCaseSensitively) {
  for (const char* name : {"MV_init", "MV_clean", "MV_start", "MV_getdata", "MV_setdata", "MV_chkFirefox"})
    EXPECT_TRUE(HasMethod(name)) << name;
  for (const char* name : {"mv_init", "MV_INIT", "MV_chkfirefox", "MV_start ", "MV_", "", "toString"})
    EXPECT_FALSE(HasMethod(name)) << name;
}

TEST_F(CommandObjectTest, UnknownMethodFailsWithVoidResult) {
  NPVariant result;
  INT32_TO_NPVARIANT(5, result);
  EXPECT_FALSE(object->_class->invoke(object, browser.Id("MV_Start"), nullptr, 0, &result));
  EXPECT_EQ(NPVariantType_Void, result.type);
}

TEST_F(CommandObjectTest, StateMethodsGiveNoValueAndAnswerMethodsAlwaysAString) {
  PageValue result;
  const NPVariant name = Browser::StringArg("Vexo");
  EXPECT_TRUE(browser.Invoke(object, "MV_init", {name}, &result));
  EXPECT_EQ(NPVariantType_Void, result.type);
  EXPECT_TRUE(browser.Invoke(object, "MV_setdata", {Browser::StringArg("Config"), Browser::StringArg("gw_url"),
                                                    Browser::StringArg("test")}, &result));
  EXPECT_EQ(NPVariantType_Void, result.type);
  EXPECT_TRUE(browser.Invoke(object, "MV_clean", {}, &result));
  EXPECT_EQ(NPVariantType_Void, result.type);
  EXPECT_TRUE(browser.Invoke(object, "MV_start", {}, &result));
  EXPECT_EQ(NPVariantType_String, result.type);
  EXPECT_EQ("FAIL", result.text);
  EXPECT_TRUE(browser.Invoke(object, "MV_chkFirefox", {}, &result));
  EXPECT_EQ(NPVariantType_String, result.type);
  EXPECT_TRUE(result.text == "SUCC" || result.text == "FAIL") << result.text;
  EXPECT_TRUE(browser.Invoke(object, "MV_clean", {}, &result));
  EXPECT_TRUE(browser.Invoke(object, "MV_getdata", {Browser::StringArg("res_cd")}, &result));
  EXPECT_EQ(NPVariantType_String, result.type);
  EXPECT_EQ("", result.text);
}

TEST_F(CommandObjectTest, MissingOddAndExtraArgumentsStillSucceed) {
  strcpy(ResultArea(object), "res_cd=0000\x1Fres_msg=ok");
  PageValue result;
  // No key: empty, not void.
  EXPECT_TRUE(browser.Invoke(object, "MV_getdata", {}, &result));
  EXPECT_EQ(NPVariantType_String, result.type);
  EXPECT_EQ("", result.text);
  // A key that is not a string reads as the empty key.
  EXPECT_TRUE(browser.Invoke(object, "MV_getdata", {Browser::IntArg(7)}, &result));
  EXPECT_EQ("", result.text);
  EXPECT_TRUE(browser.Invoke(object, "MV_getdata", {Browser::ObjectArg(browser.window())}, &result));
  EXPECT_EQ("", result.text);
  // Arguments after the third are ignored.
  std::vector<NPVariant> many = {Browser::StringArg("res_msg"), Browser::StringArg("b"), Browser::StringArg("c"),
                                 Browser::StringArg("d"), Browser::IntArg(5)};
  EXPECT_TRUE(browser.Invoke(object, "MV_getdata", many, &result));
  EXPECT_EQ("ok", result.text);
  EXPECT_TRUE(browser.Invoke(object, "MV_setdata", many, &result));
  EXPECT_TRUE(browser.Invoke(object, "MV_setdata", {Browser::StringArg("Config")}, &result));
}

TEST_F(CommandObjectTest, GetdataReadsTheResultAreaRepeatedly) {
  strcpy(ResultArea(object), "res_cd=P003\x1Fres_msg=update\x1F");
  PageValue result;
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(browser.Invoke(object, "MV_getdata", {Browser::StringArg("res_cd")}, &result));
    EXPECT_EQ("P003", result.text);
  }
  EXPECT_TRUE(browser.Invoke(object, "MV_getdata", {Browser::StringArg("res_msg")}, &result));
  EXPECT_EQ("update", result.text);
  EXPECT_TRUE(browser.Invoke(object, "MV_getdata", {Browser::StringArg("res")}, &result));
  EXPECT_EQ("", result.text);
}

TEST_F(CommandObjectTest, KoreanPassesBothWays) {
  // The key goes in as UTF-8 and must match its CP949 form in the result area; the CP949 value
  // must come back as UTF-8.
  std::string area = std::string(STATE_ANSI) + "=" + DONE_ANSI + "\x1F";
  strcpy(ResultArea(object), area.c_str());
  PageValue result;
  EXPECT_TRUE(browser.Invoke(object, "MV_getdata", {Browser::StringArg(STATE_UTF8)}, &result));
  EXPECT_EQ(DONE_UTF8, result.text);
}

TEST_F(CommandObjectTest, LongResultIsCutAtACharacterBoundary) {
  // One ASCII byte, then 1500 double-byte characters: byte 2047 would split a character.
  std::string value = "x";
  for (int i = 0; i < 1500; ++i) value += GA_ANSI;
  std::string area = "long=" + value + "\x1F";
  strcpy(ResultArea(object), area.c_str());
  PageValue result;
  EXPECT_TRUE(browser.Invoke(object, "MV_getdata", {Browser::StringArg("long")}, &result));
  std::string expected = "x";
  for (int i = 0; i < 1023; ++i) expected += GA_UTF8;  // 1 + 2 * 1023 = 2047 ANSI bytes
  EXPECT_EQ(expected, result.text);
}

TEST_F(CommandObjectTest, LongKoreanArgumentIsCutAtACharacterBoundary) {
  // "k" and 1100 Korean characters: 2201 ANSI bytes, cut to the 2047 that hold whole characters;
  // the lookup then uses the key's first 1023 bytes, "k" and 511 characters.
  std::string keyUtf8 = "k";
  for (int i = 0; i < 1100; ++i) keyUtf8 += GA_UTF8;
  std::string keyAnsi = "k";
  for (int i = 0; i < 511; ++i) keyAnsi += GA_ANSI;
  std::string area = keyAnsi + "=found\x1F";
  strcpy(ResultArea(object), area.c_str());
  PageValue result;
  EXPECT_TRUE(browser.Invoke(object, "MV_getdata", {Browser::StringArg(keyUtf8.data(), keyUtf8.size())}, &result));
  EXPECT_EQ("found", result.text);
}

TEST_F(CommandObjectTest, EachCommandObjectKeepsItsOwnState) {
  NPObject* pluginobj = browser.Property(browser.window(), "pluginobj").object;
  ASSERT_NE(nullptr, pluginobj);
  ASSERT_NE(object, pluginobj);
  strcpy(ResultArea(object), "res_cd=0000\x1F");
  PageValue result;
  EXPECT_TRUE(browser.Invoke(pluginobj, "MV_getdata", {Browser::StringArg("res_cd")}, &result));
  EXPECT_EQ("", result.text);
  EXPECT_TRUE(browser.Invoke(object, "MV_getdata", {Browser::StringArg("res_cd")}, &result));
  EXPECT_EQ("0000", result.text);
}

TEST_F(CommandObjectTest, CalledAsAFunctionAnswersTheDefaultValue) {
  ::testing::internal::CaptureStdout();
  PageValue result;
  const bool ok = browser.InvokeDefault(object, {Browser::StringArg("ignored")}, &result);
  fflush(stdout);
  EXPECT_EQ("ZAVavodur default method called!\n", ::testing::internal::GetCapturedStdout());
  EXPECT_TRUE(ok);
  EXPECT_EQ(NPVariantType_String, result.type);
  EXPECT_EQ("FOO RETURN VALUE !3", result.text);
  EXPECT_TRUE(object->_class->invokeDefault(object, nullptr, 0, nullptr)) << "no result: no block lost";
}

TEST_F(CommandObjectTest, NoMemoryForAResultGivesVoidButTheCallSucceeds) {
  browser.failMemAlloc = true;
  PageValue result;
  EXPECT_TRUE(browser.Invoke(object, "MV_start", {}, &result));
  EXPECT_EQ(NPVariantType_Void, result.type);
  browser.failMemAlloc = false;
}

TEST_F(CommandObjectTest, HasNoPropertiesAndRefusesTheRest) {
  NPClass* c = object->_class;
  const NPIdentifier name = browser.Id("res_cd");
  NPVariant value;
  INT32_TO_NPVARIANT(1, value);
  EXPECT_FALSE(c->hasProperty(object, name));
  EXPECT_FALSE(c->setProperty(object, name, &value));
  EXPECT_FALSE(c->hasProperty(object, name));
  NPVariant read;
  INT32_TO_NPVARIANT(9, read);
  EXPECT_FALSE(c->getProperty(object, name, &read));
  EXPECT_EQ(NPVariantType_Int32, read.type);  // nothing written
  EXPECT_FALSE(c->getProperty(object, browser.Id("MV_start"), &read));
  EXPECT_FALSE(c->removeProperty(object, name));
  NPIdentifier* ids = reinterpret_cast<NPIdentifier*>(0x10);
  uint32_t count = 77;
  EXPECT_FALSE(c->enumerate(object, &ids, &count));
  EXPECT_EQ(reinterpret_cast<NPIdentifier*>(0x10), ids);
  EXPECT_EQ(77u, count);
  EXPECT_FALSE(c->construct(object, nullptr, 0, &read));
  EXPECT_EQ(NPVariantType_Int32, read.type);
  EXPECT_EQ(3u, c->structVersion);
  c->invalidate(object);
  EXPECT_EQ(instance, NppOf(object));  // invalidate changes nothing
  c->deallocate(nullptr);                                            // ignored
}

}  // namespace
