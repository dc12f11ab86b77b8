#include "bridge/host/host_process.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

bool HostProcess_TakeStreams(ProtocolStreams* streams) {
  if (_setmode(_fileno(stdin), _O_BINARY) < 0) return false;
  fflush(stdout);
  const int answers = _dup(_fileno(stdout));
  if (answers < 0) return false;
  _setmode(answers, _O_BINARY);
  // The C run-time's standard output (shared with the plug-in: both use msvcrt.dll) and the
  // process's standard output handle both go to standard error from now on.
  // Without a standard error (a browser may start the host without one) the prints are dropped.
  int sink = _fileno(stderr);
  if (sink < 0 || _get_osfhandle(sink) == -1) sink = _open("NUL", _O_WRONLY);
  if (sink < 0 || _dup2(sink, _fileno(stdout)) < 0) {
    _close(answers);
    return false;
  }
  SetStdHandle(STD_OUTPUT_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdout))));
  streams->in = stdin;
  streams->out = _fdopen(answers, "wb");
  return streams->out != nullptr;
}

std::string HostProcess_ProgramFolder() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) return std::string();
  const std::string full(path, n);
  const size_t slash = full.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : full.substr(0, slash + 1);
}
