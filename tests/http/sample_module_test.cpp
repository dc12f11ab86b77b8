// The sample payment modules, loaded like the plug-in loads them and called with a store block and
// a file table built by the plug-in's own code: the fixed layouts cross the module boundary.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "modules/module_loader.h"
#include "modules/file_entry.h"
#include "support/field_store.h"

namespace {

struct StoreBlock {
  FieldStore store;
  char result[8192];
};
static_assert(offsetof(StoreBlock, result) == sizeof(FieldStore), "the result area follows the store directly");

// The block followed by guard bytes that nothing may write.
struct GuardedBlock {
  StoreBlock block;
  char guard[64];
};

using MainEntry = int (*)(const char*, const FileEntry*, StoreBlock*);

const char kModuleDir[] = VEXO_SAMPLE_MODULE_DIR;
const char kApproved[] = "\xc1\xa4\xbb\xf3\x20\xbd\xc2\xc0\xce";  // 정상 승인 (CP949)

class SampleModules : public ::testing::Test {
 protected:
  void SetUp() override {
    memset(&guarded_, 0, sizeof guarded_);
    memset(guarded_.guard, 0x5A, sizeof guarded_.guard);
    FieldStore_Init(&guarded_.block.store);
    memset(table_, 0, sizeof table_);
    AddEntry(0, "MVcontrol70.dll", "1.0.1");
    AddEntry(1, "MVmainUI70.dll", "2.0.0");
  }
  void TearDown() override {
    FieldStore_Free(&guarded_.block.store);
    Unload();
    for (char c : guarded_.guard) ASSERT_EQ(c, 0x5A) << "written past the result area";
  }

  void AddEntry(int i, const char* name, const char* version) {
    strcpy(table_[i].file_name, name);
    strcpy(table_[i].version, version);
  }
  void AddField(const char* section, const char* key, const char* value) {
    int index = FieldStore_FindSection(section, &guarded_.block.store);
    if (index < 0) index = FieldStore_AddSection(section, &guarded_.block.store);
    ASSERT_EQ(FieldStore_AddField(index, key, value, FIELD_DELIMITER, &guarded_.block.store), 0);
  }

  // Loads the control module (unless told not to) and then the main module, as the plug-in does.
  MainEntry Load(bool withControl = true) {
    const std::string dir = kModuleDir;
    if (withControl) {
      control_ = Module_Load((dir + "/MVcontrol70.dll").c_str());
      EXPECT_NE(control_, nullptr);
    }
    main_ = Module_Load((dir + "/MVmainUI70.dll").c_str());
    EXPECT_NE(main_, nullptr);
    return main_ != nullptr ? reinterpret_cast<MainEntry>(Module_Find(main_, "LoadMainDLL")) : nullptr;
  }
  void Unload() {
    if (control_ != nullptr) Module_Unload(control_);
    if (main_ != nullptr) Module_Unload(main_);
    control_ = main_ = nullptr;
  }
  int Call(MainEntry entry) { return entry(kModuleDir, table_, &guarded_.block); }

  std::string Result(const char* key) const {
    char value[8192];
    if (FieldText_GetValue(guarded_.block.result, key, FIELD_DELIMITER, value, sizeof value) != 0) return "<none>";
    return value;
  }

  GuardedBlock guarded_;
  FileEntry table_[FILE_TABLE_MAX_ENTRIES];
  void* control_ = nullptr;
  void* main_ = nullptr;
};

TEST_F(SampleModules, PaymentReadsFieldsAndFileTable) {
  AddField("Config", "gw_url", "127.0.0.1");
  AddField("Order", "order_id", "A-1001");
  AddField("Order", "amount", "50000");
  MainEntry entry = Load();
  ASSERT_NE(entry, nullptr);
  ASSERT_EQ(Call(entry), 0);
  EXPECT_EQ(Result("res_cd"), "0000");
  EXPECT_EQ(Result("res_msg"), kApproved);
  EXPECT_EQ(Result("amount"), "50000");
  EXPECT_EQ(Result("order_id"), "A-1001");
  EXPECT_EQ(Result("module_dir"), kModuleDir);
  EXPECT_EQ(Result("file_count"), "2");
  EXPECT_EQ(Result("files"), "MVcontrol70.dll@1.0.1,MVmainUI70.dll@2.0.0");
}

TEST_F(SampleModules, LastTableEntryAndSectionSlotAreReached) {
  // Record 39 at byte 588 * 39, and a section in the 20th slot: both are read by layout.
  memset(table_, 0, sizeof table_);
  AddEntry(FILE_TABLE_MAX_ENTRIES - 1, "last.dll", "9.9");
  for (int i = 0; i < FIELD_STORE_MAX_SECTIONS - 1; ++i) AddField(("S" + std::to_string(i)).c_str(), "k", "v");
  AddField("ORDER", "amount", "7");  // section names compare without regard to case
  ASSERT_EQ(guarded_.block.store.count, FIELD_STORE_MAX_SECTIONS);
  MainEntry entry = Load();
  ASSERT_NE(entry, nullptr);
  ASSERT_EQ(Call(entry), 0);
  EXPECT_EQ(Result("amount"), "7");
  EXPECT_EQ(Result("files"), "last.dll@9.9");
}

TEST_F(SampleModules, MissingPaymentDataFails) {
  AddField("Order", "order_id", "A-1002");  // no amount
  MainEntry entry = Load();
  ASSERT_NE(entry, nullptr);
  EXPECT_NE(Call(entry), 0);
  EXPECT_EQ(Result("res_cd"), "E101");
  EXPECT_EQ(Result("amount"), "<none>");

  AddField("Order", "amount", std::string(100, '9').c_str());  // more digits than any amount has
  EXPECT_NE(Call(entry), 0);
  EXPECT_EQ(Result("res_cd"), "E101");

  FieldStore_Free(&guarded_.block.store);  // no sections at all
  EXPECT_NE(Call(entry), 0);
  EXPECT_EQ(Result("res_cd"), "E101");
}

TEST_F(SampleModules, MainModuleNeedsTheControlModuleLoaded) {
  AddField("Order", "amount", "100");
  MainEntry entry = Load(false);
  ASSERT_NE(entry, nullptr);
  EXPECT_NE(Call(entry), 0);
  EXPECT_EQ(Result("res_cd"), "E102");
}

TEST_F(SampleModules, EachLoadStartsAfresh) {
  AddField("Order", "amount", "100");
  for (int round = 0; round < 2; ++round) {
    MainEntry entry = Load();
    ASSERT_NE(entry, nullptr);
    ASSERT_EQ(Call(entry), 0);
    EXPECT_EQ(Result("main_calls"), "1") << "round " << round;
    EXPECT_EQ(Result("control_calls"), "1") << "round " << round;
    Unload();
  }
  MainEntry entry = Load();
  ASSERT_EQ(Call(entry), 0);
  ASSERT_EQ(Call(entry), 0);  // without unloading, the modules keep their state
  EXPECT_EQ(Result("main_calls"), "2");
  EXPECT_EQ(Result("control_calls"), "2");
}

// The plug-in loads both modules for every payment, and one process may make many: loading must
// not use up anything (a 32-bit process has 1,088 TLS indexes; a module that took one at every load
// ended the process after about 540 payments).
TEST_F(SampleModules, AsManyLoadsAsAProcessHasPayments) {
  AddField("Order", "amount", "100");
  for (int round = 0; round < 600; ++round) {
    MainEntry entry = Load();
    ASSERT_NE(entry, nullptr) << "round " << round;
    ASSERT_EQ(Call(entry), 0) << "round " << round;
    Unload();
  }
  EXPECT_EQ(Result("main_calls"), "1");
}

TEST_F(SampleModules, ResultAreaIsNeverOverrun) {
  AddField("Order", "amount", "100");
  MainEntry entry = Load();
  ASSERT_NE(entry, nullptr);
  const std::string longDir(8150, 'd');  // its echo record cannot fit behind the first records
  ASSERT_EQ(entry(longDir.c_str(), table_, &guarded_.block), 0);
  EXPECT_EQ(Result("res_cd"), "0000");
  EXPECT_EQ(Result("module_dir"), "<none>") << "a record that does not fit is left out whole";
  EXPECT_EQ(Result("files"), "MVcontrol70.dll@1.0.1,MVmainUI70.dll@2.0.0");
  EXPECT_LT(strlen(guarded_.block.result), sizeof guarded_.block.result);
}

}  // namespace
