// The version table: the profile-format list of module files with their URLs and versions, as the
// gateway serves it and as the last installed copy lies in the module directory.
#pragma once

#include "modules/file_entry.h"

constexpr char VERSION_TABLE_NAME[] = "MirovanVer.tbl";

// Reads the table file at path into list (FILE_TABLE_MAX_ENTRIES records, zero-filled by the
// caller): record n - 1 from key n of section "FILE_LIST". Returns the "ListCount" value (0 for
// zero or negative values; at most FILE_TABLE_MAX_ENTRIES, further entries are ignored), or the
// profile reader's code when the file, the section or the key is missing.
int ReadVersionTable(const char* path, FileEntry* list);

// Pairs the gateway's list with the local one position by position and writes records 0 to
// remoteCount - 1 of out (at most FILE_TABLE_MAX_ENTRIES): the remote entry with its full
// download URL (gwBaseUrl, "/", the listed URL) and needs_update 0 only when the local entry at the
// same position has the same name and version (letter case aside) and the file is present in
// moduleDir. Always 0.
int CompareFileLists(const FileEntry* remote, int remoteCount, const FileEntry* local, int localCount,
                     FileEntry* out, const char* moduleDir, const char* gwBaseUrl);
