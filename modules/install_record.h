// The install record: the version table fetched by the last update run becomes the local table
// "MirovanVer.tbl" of the module directory, stamped with the time of installation.
#pragma once

constexpr int INSTALL_RECORD_MAX_TABLE = 8192;  // largest fetched table that is installed
constexpr char INSTALL_STAMP_FORMAT[] = "%Y/%m/%d %H:%M:%S";
constexpr char INSTALL_DESCRIPTION_LINE[] = "Description=installed successfully";

// Path of the fetched table, moduleDir\temp\MirovanVer.tbl.tmp, into out: 0, or ERR_TOO_SMALL
// (out emptied) when it does not fit capacity - 1 characters or there is no module directory.
int FetchedTablePath(const char* moduleDir, char* out, int capacity);

// Installs the fetched table of moduleDir as its local table: the table's text, CR LF, the local
// time stamp line and "Description=installed successfully", written in text mode. The fetched
// table is removed once read; its signature (a signed release's <table>.sig) becomes
// MirovanVer.tbl.sig beside the local table. Returns the bytes written, -1 when the local table cannot be
// created, or 0 when there is nothing to install (no module directory, no fetched table, or one
// over INSTALL_RECORD_MAX_TABLE bytes, which is left in place).
int WriteInstallRecord(const char* moduleDir);

// Drops the fetched table of moduleDir (and its signature), so that the next WriteInstallRecord installs nothing.
// The update driver calls it when a run fails: a failed update must not be recorded as installed.
// 0 when there was a table and it is gone; ERR_REMOVE or ERR_NO_FILE otherwise.
int DiscardFetchedTable(const char* moduleDir);
