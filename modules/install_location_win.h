// Windows-only parts of the install location lookup, for the Windows sources and their tests.
#pragma once

#include <windows.h>

// Reads one registry value into buffer (capacity bytes, always terminated): 0, or -1 when the key
// or value cannot be read or does not fit. view: 0 (the process's own), KEY_WOW64_64KEY or
// KEY_WOW64_32KEY (the 64-bit or 32-bit registry of 64-bit Windows; ignored on 32-bit Windows).
int ReadRegistryString(HKEY hive, const char* subkey, const char* valueName, char* buffer, int capacity,
                       REGSAM view = 0);

// The install root of Windows before NT 6.0: the shell's Program Files folder, else the registry
// value "ProgramFilesDir", else the Windows drive with "\Program Files", else "C:\Program Files".
// Returns the length of the text in buffer.
int GetProgramFilesRoot(char* buffer, int capacity);
