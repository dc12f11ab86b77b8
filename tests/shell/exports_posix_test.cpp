// The shared object's exports, read from its dynamic symbol table, and the answers of the Unix
// entry points that need no instance.
#include <elf.h>
#include <string.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "common/plugin_fixture.h"

namespace {

// Names of the defined global symbols in the object's dynamic symbol table (64-bit ELF).
std::set<std::string> DefinedDynamicSymbols(const char* path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::set<std::string> names;
  if (file.size() < sizeof(Elf64_Ehdr)) return names;
  const auto* eh = reinterpret_cast<const Elf64_Ehdr*>(file.data());
  if (memcmp(eh->e_ident, ELFMAG, SELFMAG) != 0 || eh->e_ident[EI_CLASS] != ELFCLASS64) return names;
  const auto* sections = reinterpret_cast<const Elf64_Shdr*>(file.data() + eh->e_shoff);
  for (int i = 0; i < eh->e_shnum; ++i) {
    if (sections[i].sh_type != SHT_DYNSYM) continue;
    const char* strings = file.data() + sections[sections[i].sh_link].sh_offset;
    const auto* symbols = reinterpret_cast<const Elf64_Sym*>(file.data() + sections[i].sh_offset);
    const size_t count = sections[i].sh_size / sizeof(Elf64_Sym);
    for (size_t s = 0; s < count; ++s) {
      const unsigned bind = ELF64_ST_BIND(symbols[s].st_info);
      if (symbols[s].st_shndx != SHN_UNDEF && (bind == STB_GLOBAL || bind == STB_WEAK))
        names.insert(strings + symbols[s].st_name);
    }
  }
  return names;
}

TEST(SharedObject, ExportsOnlyTheUnixEntryPoints) {
  const std::set<std::string> expected = {"NP_GetMIMEDescription", "NP_GetValue", "NP_Initialize", "NP_Shutdown"};
  std::set<std::string> exported = DefinedDynamicSymbols(VEXO_PLUGIN_PATH);
  exported.erase("_init");
  exported.erase("_fini");
  EXPECT_EQ(expected, exported);
}

class UnixEntryTest : public PluginTest {};

TEST_F(UnixEntryTest, MimeDescriptionNamesTypeExtensionAndDescription) {
  typedef const char* (*MimeFn)();
  auto fn = reinterpret_cast<MimeFn>(browser.library().Symbol("NP_GetMIMEDescription"));
  ASSERT_NE(nullptr, fn);
  EXPECT_STREQ("application/mirovanplugin:rts:mirovanplugin", fn());
}

TEST_F(UnixEntryTest, GetValueWithoutInstanceAnswersNameAndDescription) {
  typedef NPError (*GetValueFn)(void*, NPPVariable, void*);
  auto fn = reinterpret_cast<GetValueFn>(browser.library().Symbol("NP_GetValue"));
  ASSERT_NE(nullptr, fn);
  const char* text = nullptr;
  ASSERT_EQ(NPERR_NO_ERROR, fn(nullptr, NPPVpluginNameString, &text));
  EXPECT_STREQ("DADazirerOdod", text);
  ASSERT_EQ(NPERR_NO_ERROR, fn(nullptr, NPPVpluginDescriptionString, &text));
  EXPECT_STREQ("NPRuntime scriptability API test plugin", text);
  text = nullptr;
  EXPECT_EQ(NPERR_GENERIC_ERROR, fn(nullptr, NPPVpluginScriptableNPObject, &text));
  EXPECT_EQ(nullptr, text);
}

TEST_F(UnixEntryTest, InitializeTouchesNeitherTableWhenOneIsRefused) {
  typedef NPError (*InitializeFn)(NPNetscapeFuncs*, NPPluginFuncs*);
  auto fn = reinterpret_cast<InitializeFn>(browser.library().Symbol("NP_Initialize"));
  NPPluginFuncs table;
  memset(&table, 0, sizeof table);
  table.size = sizeof table;
  NPNetscapeFuncs old = browser.funcs();
  old.version = 0x0200;
  EXPECT_EQ(NPERR_INCOMPATIBLE_VERSION_ERROR, fn(&old, &table));
  EXPECT_EQ(nullptr, table.newp);
  EXPECT_EQ(0, table.version);
}

}  // namespace
