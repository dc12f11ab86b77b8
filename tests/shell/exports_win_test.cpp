// The built DLL's export table and version resource, read from the file as a browser reads them.
#include <windows.h>

#include "npapi/npapi.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Export {
  std::string name;
  uint32_t ordinal;
};

std::vector<unsigned char> ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <typename T>
const T* At(const std::vector<unsigned char>& file, size_t offset) {
  if (offset + sizeof(T) > file.size()) return nullptr;
  return reinterpret_cast<const T*>(file.data() + offset);
}

// Parses the PE headers and the export directory; returns false when the file is no PE DLL of this
// build's kind (PE32 for the product, PE32+ for the 64-bit check build).
bool ReadExports(const std::vector<unsigned char>& file, std::vector<Export>* exports, uint32_t* functionCount,
                 WORD* machine, WORD* characteristics) {
  const auto* dos = At<IMAGE_DOS_HEADER>(file, 0);
  if (dos == nullptr || dos->e_magic != IMAGE_DOS_SIGNATURE) return false;
  const auto* nt = At<IMAGE_NT_HEADERS>(file, dos->e_lfanew);
  if (nt == nullptr || nt->Signature != IMAGE_NT_SIGNATURE) return false;
  if (nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC) return false;
  *machine = nt->FileHeader.Machine;
  *characteristics = nt->FileHeader.Characteristics;
  const size_t sectionsAt = dos->e_lfanew + offsetof(IMAGE_NT_HEADERS, OptionalHeader) +
                            nt->FileHeader.SizeOfOptionalHeader;
  auto toOffset = [&](uint32_t rva) -> size_t {
    for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
      const auto* s = At<IMAGE_SECTION_HEADER>(file, sectionsAt + i * sizeof(IMAGE_SECTION_HEADER));
      if (s != nullptr && rva >= s->VirtualAddress && rva < s->VirtualAddress + s->Misc.VirtualSize)
        return rva - s->VirtualAddress + s->PointerToRawData;
    }
    return file.size();
  };
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  const auto* ed = At<IMAGE_EXPORT_DIRECTORY>(file, toOffset(dir.VirtualAddress));
  if (ed == nullptr) return false;
  *functionCount = ed->NumberOfFunctions;
  for (uint32_t i = 0; i < ed->NumberOfNames; ++i) {
    const auto* nameRva = At<uint32_t>(file, toOffset(ed->AddressOfNames) + 4 * i);
    const auto* index = At<uint16_t>(file, toOffset(ed->AddressOfNameOrdinals) + 2 * i);
    if (nameRva == nullptr || index == nullptr) return false;
    const size_t at = toOffset(*nameRva);
    if (at >= file.size()) return false;
    exports->push_back({reinterpret_cast<const char*>(file.data() + at), ed->Base + *index});
  }
  return true;
}

TEST(DllFile, ExportsExactlyTheThreeEntryPointsByOrdinal) {
  const std::vector<unsigned char> file = ReadFile(VEXO_PLUGIN_PATH);
  ASSERT_FALSE(file.empty());
  std::vector<Export> exports;
  uint32_t functions = 0;
  WORD machine = 0;
  WORD characteristics = 0;
  ASSERT_TRUE(ReadExports(file, &exports, &functions, &machine, &characteristics));
#if defined(_WIN64)
  EXPECT_EQ(IMAGE_FILE_MACHINE_AMD64, machine);  // the 64-bit check build
#else
  EXPECT_EQ(IMAGE_FILE_MACHINE_I386, machine);
#endif
  EXPECT_TRUE(characteristics & IMAGE_FILE_DLL);
  EXPECT_EQ(3u, functions);
  ASSERT_EQ(3u, exports.size());
  EXPECT_EQ("NP_GetEntryPoints", exports[0].name);
  EXPECT_EQ(1u, exports[0].ordinal);
  EXPECT_EQ("NP_Initialize", exports[1].name);
  EXPECT_EQ(2u, exports[1].ordinal);
  EXPECT_EQ("NP_Shutdown", exports[2].name);
  EXPECT_EQ(3u, exports[2].ordinal);
}

TEST(DllFile, StdcallEntryPointsLeaveTheStackBalanced) {
  HMODULE dll = LoadLibraryA(VEXO_PLUGIN_PATH);
  ASSERT_NE(nullptr, dll);
  // Called many times through WINAPI pointers: a convention mismatch would drift the stack by
  // four bytes per call and crash long before the loop ends.
  typedef NPError(WINAPI * GetEntryPointsFn)(void*);
  typedef NPError(WINAPI * ShutdownFn)();
  auto getEntryPoints = reinterpret_cast<GetEntryPointsFn>(reinterpret_cast<void*>(GetProcAddress(dll, MAKEINTRESOURCEA(1))));
  auto shutdown = reinterpret_cast<ShutdownFn>(reinterpret_cast<void*>(GetProcAddress(dll, MAKEINTRESOURCEA(3))));
  ASSERT_NE(nullptr, getEntryPoints);
  ASSERT_NE(nullptr, shutdown);
  for (int i = 0; i < 100000; ++i) {
    ASSERT_EQ(3, getEntryPoints(nullptr));
    ASSERT_EQ(0, shutdown());
  }
  FreeLibrary(dll);
}

std::string VersionString(const std::vector<char>& info, const char* key) {
  char* value = nullptr;
  UINT length = 0;
  const std::string path = std::string("\\StringFileInfo\\040904e4\\") + key;
  if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) return "<missing>";
  return std::string(value, length > 0 && value[length - 1] == '\0' ? length - 1 : length).c_str();
}

TEST(DllFile, VersionResourceDeclaresThePlugin) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(VEXO_PLUGIN_PATH, &handle);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(VEXO_PLUGIN_PATH, 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
  EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionMS);       // 1.0
  EXPECT_EQ(MAKELONG(21, 1706), fixed->dwFileVersionLS);   // 1706.21
  EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
  EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
  EXPECT_EQ(0x3Fu, fixed->dwFileFlagsMask);
  EXPECT_EQ(0u, fixed->dwFileFlags);
  EXPECT_EQ(static_cast<DWORD>(VOS_NT_WINDOWS32), fixed->dwFileOS);
  EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                             &length));
  ASSERT_EQ(4u, length);
  EXPECT_EQ(0x0409, translation[0]);
  EXPECT_EQ(0x04E4, translation[1]);

  EXPECT_EQ("application/mirovanplugin", VersionString(info, "MIMEType"));
  EXPECT_EQ("rts", VersionString(info, "FileExtents"));
  EXPECT_EQ("mirovanplugin", VersionString(info, "FileOpenName"));
  EXPECT_EQ("mirovanplugin", VersionString(info, "InternalName"));
  EXPECT_EQ("zoRozoridEverid.dll", VersionString(info, "OriginalFilename"));
  EXPECT_EQ("Vexo Plugin v.1.0.1706.21", VersionString(info, "FileDescription"));
  EXPECT_EQ("Vexo", VersionString(info, "ProductName"));
  EXPECT_EQ("1, 0, 1706, 21", VersionString(info, "FileVersion"));
  EXPECT_EQ("1, 0, 1706, 21", VersionString(info, "ProductVersion"));
  for (const char* empty : {"Comments", "LegalTrademarks", "PrivateBuild", "SpecialBuild"})
    EXPECT_EQ("", VersionString(info, empty)) << empty;
  for (const char* maker : {"CompanyName", "LegalCopyright"}) {
    const std::string text = VersionString(info, maker);
    EXPECT_NE("<missing>", text) << maker;
    EXPECT_NE(std::string::npos, text.find("Vexo")) << maker;
  }
}

TEST(DllFile, VersionResourceIsKorean) {
  HMODULE dll = LoadLibraryExA(VEXO_PLUGIN_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, dll);
  EXPECT_NE(nullptr, FindResourceExA(dll, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1), 1042));  // RT_VERSION
  EXPECT_EQ(nullptr, FindResourceExA(dll, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1), 0x0409));
  FreeLibrary(dll);
}

}  // namespace
