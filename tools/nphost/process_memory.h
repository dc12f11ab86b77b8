// The memory of the running process as the system reports it, for the leak checks of pages.
#pragma once

// Resident set (Unix) or working set (Windows) in kilobytes; -1 when unknown.
long ProcessMemory_ResidentKb();
