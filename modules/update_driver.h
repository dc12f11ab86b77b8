// Codes of the module update run (ZAVavodur::UpdateModules) besides the platform's, the HTTP
// status numbers and those of the fetch and unpacking.
#pragma once

#include "modules/http_client.h"

enum : int {
  ERR_UPDATE_ADDRESS = -4,       // "update_addr" does not name this gateway's table folder
  ERR_UNSAFE_FILE_NAME = -218,   // the fetched table names a file outside the module directory
};

// Longest wait for another process's update of the same module directory (a build constant): about
// what a holder whose table and module downloads both stall needs to fail (the connect limit and
// one progress window each). A wait that runs out fails the run with "P003", nothing changed.
constexpr int UPDATE_LOCK_WAIT_MS = 2 * (HTTP_CONNECT_LIMIT_SECONDS + HTTP_PROGRESS_WINDOW_SECONDS) * 1000;
