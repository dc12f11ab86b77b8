// Codes of the module update run (ZAVavodur::UpdateModules) besides the platform's, the HTTP
// status numbers and those of the fetch and unpacking.
#pragma once

enum : int {
  ERR_UPDATE_ADDRESS = -4,       // "update_addr" does not name this gateway's table folder
  ERR_UNSAFE_FILE_NAME = -218,   // the fetched table names a file outside the module directory
};
