#include "support/field_store.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "support/status.h"

namespace {

class FieldStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    memset(&store_, 0xAB, sizeof store_);  // Init must not rely on cleared memory for the slots
    FieldStore_Init(&store_);
  }
  void TearDown() override {
    g_fieldStoreHeap = FieldStoreHeap{malloc, realloc};
    FieldStore_Free(&store_);
  }
  std::string Records(int index) const {
    const char* r = store_.sections[index].records;
    return r != nullptr ? r : "<null>";
  }
  FieldStore store_;
};

TEST_F(FieldStoreTest, RecordsAreKeyValueAndSeparatorInOrderWithRepeatsKept) {
  const int order = FieldStore_AddSection("Order", &store_);
  ASSERT_EQ(0, order);
  EXPECT_EQ(0, FieldStore_AddField(order, "amount", "1000", FIELD_DELIMITER, &store_));
  EXPECT_EQ(0, FieldStore_AddField(order, "amount", "2000", FIELD_DELIMITER, &store_));
  EXPECT_EQ(0, FieldStore_AddField(order, "esc", "y", ESCROW_FIELD_DELIMITER, &store_));
  EXPECT_EQ("amount=1000\x1F" "amount=2000\x1F" "esc=y\x1D", Records(order));
  char out[16];
  EXPECT_EQ(0, FieldText_GetValue(store_.sections[order].records, "amount", FIELD_DELIMITER, out, sizeof out));
  EXPECT_STREQ("1000", out) << "the first record of a repeated key wins";
}

TEST_F(FieldStoreTest, SectionNamesAreCopiedIntoFourTimesTheirSize) {
  ASSERT_EQ(0, FieldStore_AddSection("Config", &store_));
  EXPECT_EQ(1, store_.count);
  EXPECT_STREQ("Config", store_.sections[0].name);
  EXPECT_EQ(nullptr, store_.sections[0].records) << "no record text before the first record";
  for (int i = 6; i < 28; ++i) EXPECT_EQ('\0', store_.sections[0].name[i]);
  EXPECT_EQ(nullptr, store_.sections[1].name);
}

TEST_F(FieldStoreTest, FindSectionIgnoresCaseGetSectionTextMatchesPrefixWithCase) {
  FieldStore_AddSection("Config", &store_);
  FieldStore_AddField(0, "gw_url", "test", FIELD_DELIMITER, &store_);
  EXPECT_EQ(0, FieldStore_FindSection("CONFIG", &store_));
  EXPECT_EQ(0, FieldStore_AddSection("config", &store_)) << "an existing name is not added twice";
  EXPECT_EQ(1, store_.count);
  char out[64];
  EXPECT_EQ(-1, FieldStore_GetSectionText(&store_, "CONFIG", out, sizeof out));
  EXPECT_EQ(0, FieldStore_GetSectionText(&store_, "Conf", out, sizeof out));
  EXPECT_STREQ("gw_url=test\x1F", out);
  EXPECT_EQ(0, FieldStore_GetSectionText(&store_, "", out, sizeof out)) << "empty name: first section";
  EXPECT_EQ(0, FieldStore_GetSectionText(&store_, "Con", out, 5));
  EXPECT_STREQ("gw_u", out) << "cut to capacity - 1";
}

TEST_F(FieldStoreTest, GetFieldReadsConfigValuesAndFoldsFailures) {
  const int cfg = FieldStore_AddSection("Config", &store_);
  FieldStore_AddField(cfg, "gw_url", "test", FIELD_DELIMITER, &store_);
  FieldStore_AddField(cfg, "update_addr", "https://gw.example/x", FIELD_DELIMITER, &store_);
  char out[128];
  EXPECT_EQ(0, FieldStore_GetField(&store_, FIELD_DELIMITER, "Config", "update_addr", out, sizeof out));
  EXPECT_STREQ("https://gw.example/x", out);
  EXPECT_EQ(-1, FieldStore_GetField(&store_, FIELD_DELIMITER, "Config", "missing", out, sizeof out));
  EXPECT_EQ(-1, FieldStore_GetField(&store_, FIELD_DELIMITER, "Other", "gw_url", out, sizeof out));
  EXPECT_EQ(-1, FieldStore_GetField(&store_, FIELD_DELIMITER, "Config", "gw_url", out, 4)) << "too small";
}

TEST_F(FieldStoreTest, EmptyValuesAndBadIndexesChangeNothing) {
  const int s = FieldStore_AddSection("S", &store_);
  EXPECT_EQ(-1, FieldStore_AddField(s, "k", "", FIELD_DELIMITER, &store_));
  EXPECT_EQ(-1, FieldStore_AddField(s, "k", nullptr, FIELD_DELIMITER, &store_));
  EXPECT_EQ(nullptr, store_.sections[s].records);
  FieldStore_AddField(s, "k", "v", FIELD_DELIMITER, &store_);
  EXPECT_EQ(-1, FieldStore_AddField(s, "k2", "", FIELD_DELIMITER, &store_));
  EXPECT_EQ(-1, FieldStore_AddField(-1, "k", "v", FIELD_DELIMITER, &store_));
  EXPECT_EQ(-1, FieldStore_AddField(1, "k", "v", FIELD_DELIMITER, &store_)) << "slot not in use";
  EXPECT_EQ(-1, FieldStore_AddField(FIELD_STORE_MAX_SECTIONS, "k", "v", FIELD_DELIMITER, &store_));
  EXPECT_EQ("k=v\x1F", Records(s));
}

TEST_F(FieldStoreTest, AFullStoreRefusesTheTwentyFirstSection) {
  for (int i = 0; i < FIELD_STORE_MAX_SECTIONS; ++i) {
    ASSERT_EQ(i, FieldStore_AddSection(("S" + std::to_string(i)).c_str(), &store_));
  }
  const int extra = FieldStore_AddSection("Extra", &store_);
  EXPECT_EQ(-1, extra);
  EXPECT_EQ(FIELD_STORE_MAX_SECTIONS, store_.count);
  EXPECT_EQ(-1, FieldStore_AddField(extra, "k", "v", FIELD_DELIMITER, &store_));
  EXPECT_EQ(19, FieldStore_AddSection("s19", &store_)) << "existing sections are still found";
}

TEST_F(FieldStoreTest, RecordsOverTheRecordLimitAreRefusedWhole) {
  const int s = FieldStore_AddSection("Big", &store_);
  // key "k" + "=" + value + separator: 8191 characters is the most a record can hold.
  const std::string fits(FIELD_RECORD_CAPACITY - 4, 'v');
  const std::string tooLong(FIELD_RECORD_CAPACITY - 3, 'w');
  EXPECT_EQ(ERR_TOO_SMALL, FieldStore_AddField(s, "k", tooLong.c_str(), FIELD_DELIMITER, &store_));
  EXPECT_EQ(nullptr, store_.sections[s].records);
  EXPECT_EQ(0, FieldStore_AddField(s, "k", fits.c_str(), FIELD_DELIMITER, &store_));
  EXPECT_EQ(FIELD_RECORD_CAPACITY - 1, static_cast<int>(strlen(store_.sections[s].records)));
  // The same section nested as a field no longer fits with its name in front.
  const int t = FieldStore_AddSection("T", &store_);
  FieldStore_AddField(t, "a", "b", FIELD_DELIMITER, &store_);
  EXPECT_EQ(ERR_TOO_SMALL, FieldStore_AddSectionAsField(t, s, FIELD_DELIMITER, &store_));
  EXPECT_EQ("a=b\x1F", Records(t));
}

void* FailingAlloc(size_t) { return nullptr; }
void* FailingRealloc(void*, size_t) { return nullptr; }

TEST_F(FieldStoreTest, AllocationFailuresLeaveTheStoreConsistent) {
  const int s = FieldStore_AddSection("S", &store_);
  FieldStore_AddField(s, "k", "v", FIELD_DELIMITER, &store_);
  g_fieldStoreHeap = FieldStoreHeap{FailingAlloc, FailingRealloc};
  EXPECT_EQ(ERR_NO_MEMORY, FieldStore_AddSection("New", &store_));
  EXPECT_EQ(1, store_.count);
  EXPECT_EQ(nullptr, store_.sections[1].name);
  EXPECT_EQ(ERR_NO_MEMORY, FieldStore_AddField(s, "k2", "v2", FIELD_DELIMITER, &store_));
  EXPECT_EQ("k=v\x1F", Records(s)) << "the old record text stays valid";
  g_fieldStoreHeap = FieldStoreHeap{malloc, realloc};
  EXPECT_EQ(0, FieldStore_AddField(s, "k2", "v2", FIELD_DELIMITER, &store_));
  EXPECT_EQ("k=v\x1Fk2=v2\x1F", Records(s));
}

TEST_F(FieldStoreTest, AppendTextAndSectionAsField) {
  const int a = FieldStore_AddSection("Escrow", &store_);
  const int b = FieldStore_AddSection("Order", &store_);
  EXPECT_EQ(-1, FieldStore_AppendText(a, "x", &store_)) << "no record text yet";
  FieldStore_AddField(a, "item", "book", ESCROW_FIELD_DELIMITER, &store_);
  FieldStore_AddField(b, "amount", "10", FIELD_DELIMITER, &store_);
  EXPECT_EQ(0, FieldStore_AppendText(a, "raw", &store_));
  EXPECT_EQ("item=book\x1Draw", Records(a));
  EXPECT_EQ(-1, FieldStore_AddSectionAsField(-1, a, FIELD_DELIMITER, &store_));
  EXPECT_EQ(0, FieldStore_AddSectionAsField(b, a, FIELD_DELIMITER, &store_));
  EXPECT_EQ("amount=10\x1F" "Escrow=item=book\x1Draw\x1F", Records(b));
  char out[64];
  EXPECT_EQ(0, FieldText_GetValue(store_.sections[b].records, "Escrow", FIELD_DELIMITER, out, sizeof out));
  EXPECT_STREQ("item=book\x1Draw", out) << "nested records with another separator come back whole";
}

TEST_F(FieldStoreTest, FreeReleasesEverySlotAndAcceptsAnEmptyStore) {
  FieldStore_AddSection("A", &store_);
  FieldStore_AddField(0, "k", "v", FIELD_DELIMITER, &store_);
  EXPECT_EQ(0, FieldStore_Free(&store_));
  EXPECT_EQ(0, store_.count);
  EXPECT_EQ(nullptr, store_.sections[0].name);
  EXPECT_EQ(0, FieldStore_Free(&store_));
  char out[8];
  EXPECT_EQ(-1, FieldStore_GetSectionText(&store_, "", out, sizeof out));
  EXPECT_EQ(-1, FieldStore_FindSection("A", &store_));
}

TEST(FieldText, ValueScanRules) {
  char out[16];
  EXPECT_EQ(0, FieldText_GetValue("a=b=c\x1F", "a", FIELD_DELIMITER, out, sizeof out));
  EXPECT_STREQ("b=c", out) << "a value may contain '='";
  EXPECT_EQ(0, FieldText_GetValue(" \tkey \t=\t value \x1F", "key", FIELD_DELIMITER, out, sizeof out));
  EXPECT_STREQ("value", out);
  EXPECT_EQ(-1, FieldText_GetValue("=v\x1Fk=\x1F", "k", FIELD_DELIMITER, out, sizeof out)) << "empty key or value";
  EXPECT_EQ(-1, FieldText_GetValue("=v\x1F", "", FIELD_DELIMITER, out, sizeof out));
  EXPECT_EQ(0, FieldText_GetValue("x=1\x1Flast=yes", "last", FIELD_DELIMITER, out, sizeof out));
  EXPECT_STREQ("yes", out) << "a last record without separator is found";
  EXPECT_EQ(-1, FieldText_GetValue("Key=1\x1F", "key", FIELD_DELIMITER, out, sizeof out)) << "case matters";
  EXPECT_EQ(-1, FieldText_GetValue("noequals\x1Fk=v\x1F", "k", FIELD_DELIMITER, out, sizeof out))
      << "a record without '=' runs into the next one";
  EXPECT_EQ(-1, FieldText_GetValue(nullptr, "k", FIELD_DELIMITER, out, sizeof out));
}

TEST(FieldText, ValueMustFitTheOutputStrictly) {
  char out[8];
  memset(out, '#', sizeof out);
  EXPECT_EQ(0, FieldText_GetValue("k=1234567\x1F", "k", FIELD_DELIMITER, out, sizeof out));
  EXPECT_STREQ("1234567", out);
  memset(out, '#', sizeof out);
  EXPECT_EQ(ERR_TOO_SMALL, FieldText_GetValue("k=12345678\x1F", "k", FIELD_DELIMITER, out, sizeof out));
  EXPECT_EQ('#', out[0]) << "the output is left alone";
}

TEST(FieldText, OnlyTheFirst8191CharactersAreSearched) {
  std::string text = std::string(8185, 'p') + "=x\x1F";  // 8188 characters
  text += "late=1\x1F";
  char out[8];
  EXPECT_EQ(-1, FieldText_GetValue(text.c_str(), "late", FIELD_DELIMITER, out, sizeof out));
  std::string early = "k=v\x1F" + std::string(9000, 'z');
  EXPECT_EQ(0, FieldText_GetValue(early.c_str(), "k", FIELD_DELIMITER, out, sizeof out));
}

}  // namespace
