// Windows-only parts of the install location lookup, for the Windows sources and their tests.
#pragma once

#include <windows.h>

// Reads one registry value into buffer (capacity bytes, always terminated): 0, or -1 when the key
// or value cannot be read or does not fit.
int ReadRegistryString(HKEY hive, const char* subkey, const char* valueName, char* buffer, int capacity);

// The install root of Windows before NT 6.0: the shell's Program Files folder, else the registry
// value "ProgramFilesDir", else the Windows drive with "\Program Files", else "C:\Program Files".
// Returns the length of the text in buffer.
int GetProgramFilesRoot(char* buffer, int capacity);
