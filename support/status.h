// Status codes shared by the whole system: 0 is success, failures are negative.
// Platform error codes, HTTP status numbers and zlib error numbers are passed up unchanged.
#pragma once

enum : int {
  STATUS_OK = 0,
  STATUS_NOT_FOUND = -1,      // a lookup found nothing
  ERR_TOO_SMALL = -52,        // a value does not fit the caller's buffer
  ERR_NO_MEMORY = -103,       // an allocation failed
  ERR_PROFILE_OPEN = -201,    // profile path missing or file cannot be opened
  ERR_PROFILE_SECTION = -202, // no head with that section name
  ERR_PROFILE_KEY = -203,     // the section has no line with that key
  ERR_MKDIR = -211,           // a directory cannot be created
  ERR_REMOVE = -212,          // a file cannot be removed
  ERR_NO_FILE = -213,         // no path / handle, or the file cannot be opened
  ERR_FILE_TOO_BIG = -214,    // file larger than the buffer, or a plain-file read/write failed
};
