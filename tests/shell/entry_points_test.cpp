// The entry points' checks of the two function tables, and the callbacks that need no instance.
#include <string.h>

#include "common/plugin_fixture.h"

namespace {

using host::PluginLibrary;

// A plug-in table filled with a marker byte, to see whether anything was written.
struct MarkedTable {
  union {
    NPPluginFuncs funcs;
    unsigned char bytes[sizeof(NPPluginFuncs) + 32];
  };
  explicit MarkedTable(uint16_t size) {
    memset(bytes, 0xAB, sizeof bytes);
    funcs.size = size;
  }
  bool UntouchedAfterSize() const {
    for (size_t i = sizeof(uint16_t); i < sizeof bytes; ++i)
      if (bytes[i] != 0xAB) return false;
    return true;
  }
};

class EntryPointsTest : public PluginTest {};

TEST_F(EntryPointsTest, PluginTableBelowItsLayoutIsRefusedUntouched) {
  MarkedTable small(NP_PLUGIN_FUNCS_MIN_SIZE - 1);
  EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, browser.library().GetEntryPoints(&small.funcs, &browser.funcs()));
  EXPECT_EQ(NP_PLUGIN_FUNCS_MIN_SIZE - 1, small.funcs.size);
  EXPECT_TRUE(small.UntouchedAfterSize());
  EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, browser.library().GetEntryPoints(nullptr, &browser.funcs()));
}

TEST_F(EntryPointsTest, PluginTableOfItsLayoutIsFilledAndKeepsItsSize) {
  for (uint16_t size : {NP_PLUGIN_FUNCS_MIN_SIZE, static_cast<uint16_t>(NP_PLUGIN_FUNCS_MIN_SIZE + 24)}) {
    MarkedTable table(size);
    ASSERT_EQ(NPERR_NO_ERROR, browser.library().GetEntryPoints(&table.funcs, &browser.funcs()));
    EXPECT_EQ(size, table.funcs.size);
    EXPECT_EQ(0x0013, table.funcs.version);
    EXPECT_NE(nullptr, table.funcs.newp);
    EXPECT_NE(nullptr, table.funcs.destroy);
    EXPECT_NE(nullptr, table.funcs.setwindow);
    EXPECT_NE(nullptr, table.funcs.newstream);
    EXPECT_NE(nullptr, table.funcs.destroystream);
    EXPECT_NE(nullptr, table.funcs.asfile);
    EXPECT_NE(nullptr, table.funcs.writeready);
    EXPECT_NE(nullptr, table.funcs.write);
    EXPECT_NE(nullptr, table.funcs.print);
    EXPECT_NE(nullptr, table.funcs.event);
    EXPECT_NE(nullptr, table.funcs.urlnotify);
    EXPECT_EQ(nullptr, table.funcs.javaClass);
    EXPECT_NE(nullptr, table.funcs.getvalue);
    EXPECT_NE(nullptr, table.funcs.setvalue);
    // Entries that later browsers append are not the plug-in's to write.
    for (size_t i = sizeof(NPPluginFuncs); i < sizeof table.bytes; ++i) ASSERT_EQ(0xAB, table.bytes[i]);
  }
}

TEST_F(EntryPointsTest, BrowserTableChecksVersionBeforeSize) {
  NPNetscapeFuncs funcs = browser.funcs();
  EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, browser.library().Initialize(nullptr));
  funcs.version = 0x0113;  // major 1
  funcs.size = 0xFFFF;
  EXPECT_EQ(NPERR_INCOMPATIBLE_VERSION_ERROR, browser.library().Initialize(&funcs));
  funcs.size = 10;
  EXPECT_EQ(NPERR_INCOMPATIBLE_VERSION_ERROR, browser.library().Initialize(&funcs));
  funcs.version = 0x0013;
  funcs.size = NP_BROWSER_FUNCS_MIN_SIZE - 1;
  EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, browser.library().Initialize(&funcs));
  funcs.size = NP_BROWSER_FUNCS_MIN_SIZE;
  EXPECT_EQ(NPERR_NO_ERROR, browser.library().Initialize(&funcs));
}

TEST_F(EntryPointsTest, RefusedBrowserTableLeavesTheKeptCopy) {
  // A table without functions: had it been copied, the next instance would call through nulls.
  NPNetscapeFuncs empty;
  memset(&empty, 0, sizeof empty);
  empty.size = NP_BROWSER_FUNCS_MIN_SIZE - 1;
  EXPECT_EQ(NPERR_INVALID_FUNCTABLE_ERROR, browser.library().Initialize(&empty));
  empty.size = sizeof empty;
  empty.version = 0x0100;
  EXPECT_EQ(NPERR_INCOMPATIBLE_VERSION_ERROR, browser.library().Initialize(&empty));
  NPError err = NPERR_GENERIC_ERROR;
  NPP instance = browser.NewInstance(&err);
  ASSERT_EQ(NPERR_NO_ERROR, err);
  EXPECT_EQ(46, browser.Property(browser.window(), "foof").intValue);
  EXPECT_EQ(NPERR_NO_ERROR, browser.DestroyInstance(instance));
}

TEST_F(EntryPointsTest, OnlyEntriesThroughSetExceptionAreCopied) {
  // A browser whose later entries are garbage: the plug-in must never reach them.
  struct Extended {
    NPNetscapeFuncs funcs;
    void* later[8];
  } table;
  table.funcs = browser.funcs();
  table.funcs.size = sizeof table;
  table.funcs.pushpopupsenabledstate = reinterpret_cast<void*>(1);
  table.funcs.poppopupsenabledstate = reinterpret_cast<void*>(1);
  table.funcs.enumerate = reinterpret_cast<NPN_EnumerateProcPtr>(1);
  table.funcs.pluginthreadasynccall = reinterpret_cast<void*>(1);
  table.funcs.construct = reinterpret_cast<NPN_ConstructProcPtr>(1);
  for (void*& p : table.later) p = reinterpret_cast<void*>(1);
  ASSERT_EQ(NPERR_NO_ERROR, browser.library().Initialize(&table.funcs));
  NPP instance = browser.NewInstance();
  ASSERT_NE(nullptr, instance);
  NPObject* object = browser.ScriptableObject(instance);
  ASSERT_NE(nullptr, object);
  host::PageValue result;
  EXPECT_TRUE(browser.Invoke(object, "MV_start", {}, &result));
  EXPECT_EQ("FAIL", result.text);
  browser.funcs().releaseobject(object);
}

TEST_F(EntryPointsTest, ShutdownThenInitializeWorksAgain) {
  EXPECT_EQ(NPERR_NO_ERROR, browser.library().Shutdown());
  ASSERT_EQ(NPERR_NO_ERROR, browser.library().Initialize(&browser.funcs()));
  NPError err = NPERR_GENERIC_ERROR;
  NPP instance = browser.NewInstance(&err);
  EXPECT_EQ(NPERR_NO_ERROR, err);
  EXPECT_NE(nullptr, instance);
  ExpectNothingLeft();
}

TEST_F(EntryPointsTest, StreamAndValueCallbacksCheckOnlyTheInstance) {
  NPPluginFuncs& p = browser.pluginFuncs();
  NPP_t bare = {nullptr, nullptr};  // an instance handle without a plug-in object
  NPStream stream = {};
  uint16_t stype = 7;
  char mime[] = "application/mirovanplugin";
  char data[1000] = {};
  EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, p.newstream(nullptr, mime, &stream, 0, &stype));
  EXPECT_EQ(NPERR_NO_ERROR, p.newstream(&bare, mime, &stream, 0, &stype));
  EXPECT_EQ(7, stype);
  EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, p.destroystream(nullptr, &stream, 0));
  EXPECT_EQ(NPERR_NO_ERROR, p.destroystream(&bare, &stream, 0));
  EXPECT_EQ(2, p.writeready(nullptr, &stream));
  EXPECT_EQ(268435455, p.writeready(&bare, &stream));
  EXPECT_EQ(2, p.write(nullptr, &stream, 0, 1000, data));
  EXPECT_EQ(1000, p.write(&bare, &stream, 0, 1000, data));
  EXPECT_EQ(NPERR_INVALID_INSTANCE_ERROR, p.setvalue(nullptr, NPNVWindowNPObject, nullptr));
  EXPECT_EQ(NPERR_NO_ERROR, p.setvalue(&bare, NPNVWindowNPObject, nullptr));
  EXPECT_EQ(0, p.event(nullptr, nullptr));
  EXPECT_EQ(0, p.event(&bare, nullptr));
  p.asfile(&bare, &stream, "x");
  p.print(&bare, nullptr);
  p.urlnotify(&bare, "http://127.0.0.1/", 0, nullptr);
  EXPECT_EQ(nullptr, bare.pdata);
}

}  // namespace
