// One module file listed in a version table. The module file table (40 of these) is handed to the
// main payment module, so the layout is fixed: 588 bytes, record i at byte 588 * i.
#pragma once

#include <stddef.h>
#include <stdint.h>

constexpr int FILE_TABLE_MAX_ENTRIES = 40;

struct FileEntry {
  char file_name[128];         // at most 127 characters
  char url[128];               // "URL" value as listed; in the module file table the full download URL
  char version[65];            // at most 64 characters
  char target[256];            // at most 255 characters
  char reserved[3];            // always zero
  int32_t description_number;  // numeric reading of "Description"
  int32_t needs_update;        // 1: must be fetched; 0: current or fetched
};

static_assert(offsetof(FileEntry, url) == 128, "FileEntry.url at 128");
static_assert(offsetof(FileEntry, version) == 256, "FileEntry.version at 256");
static_assert(offsetof(FileEntry, target) == 321, "FileEntry.target at 321");
static_assert(offsetof(FileEntry, description_number) == 580, "FileEntry.description_number at 580");
static_assert(offsetof(FileEntry, needs_update) == 584, "FileEntry.needs_update at 584");
static_assert(sizeof(FileEntry) == 588, "FileEntry is 588 bytes");
