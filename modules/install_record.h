// The install record: the version table fetched by an update run becomes the local table
// "MirovanVer.tbl" of the module directory, stamped with the time of installation.
#pragma once

constexpr int INSTALL_RECORD_MAX_TABLE = 8192;  // largest fetched table that is installed
constexpr char INSTALL_STAMP_FORMAT[] = "%Y/%m/%d %H:%M:%S";
constexpr char INSTALL_DESCRIPTION_LINE[] = "Description=installed successfully";
// In the temp folder: a copy of the table the module files were last brought up to date with, kept
// by the update run that did it (see RecordCurrentTable).
constexpr char CURRENT_TABLE_NAME[] = "MirovanVer.tbl.current";
// Suffix after the private part of a fetched table, and of a table file while it is written.
constexpr char TABLE_STAGED_SUFFIX[] = ".tmp";

// A new path for a fetched table, private to this process and call:
// moduleDir\temp\MirovanVer.tbl.<process id>-<n>.tmp, into out: 0, or ERR_TOO_SMALL (out emptied)
// when it does not fit capacity - 1 characters or there is no module directory.
int FetchedTablePath(const char* moduleDir, char* out, int capacity);
// The same for another file an update run fetches: moduleDir\temp\<name>.<process id>-<n>.tmp.
int FetchedFilePath(const char* moduleDir, const char* name, char* out, int capacity);

// Installs the fetched table at fetchedPath as the local table of moduleDir: the table's text,
// CR LF, the local time stamp line and "Description=installed successfully", written in text mode
// to a file of its own and renamed over the local table in one step, so that a reader sees the old
// table or the new one, never a part. The fetched table is removed once read (a signed table holds
// its signature), and a detached MirovanVer.tbl.sig of an older release goes. Returns the
// bytes written, -1 when the local table cannot be written, or 0 when there is nothing to install (no
// module directory, no fetched table, or one over INSTALL_RECORD_MAX_TABLE bytes, which is left in
// place).
int WriteInstallRecord(const char* moduleDir, const char* fetchedPath);

// Drops a fetched table (a failed run's, or one MV_clean does not install): 0 when
// the table was there and is gone; ERR_REMOVE or ERR_NO_FILE otherwise.
int DiscardFetchedTable(const char* fetchedPath);

// The current table of moduleDir (CURRENT_TABLE_NAME in its temp folder). Only an update run that
// holds the module directory's lock changes the module files, and it calls ForgetCurrentTable
// before it replaces the first file and RecordCurrentTable (a copy of its fetched table, put in
// place in one rename) once all are in place; so the current table, when there is one, tells what
// the module files are, whoever installed which table since.
int CurrentTablePath(const char* moduleDir, char* out, int capacity);
int RecordCurrentTable(const char* moduleDir, const char* fetchedPath);
void ForgetCurrentTable(const char* moduleDir);
// True when the current table holds exactly the bytes of the table at fetchedPath.
bool IsCurrentTable(const char* moduleDir, const char* fetchedPath);
