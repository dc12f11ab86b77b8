#include "bridge/host/host_process.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

bool HostProcess_TakeStreams(ProtocolStreams* streams) {
  signal(SIGPIPE, SIG_IGN);  // a browser that goes away ends the loop through a failed write
  fflush(stdout);
  const int answers = dup(STDOUT_FILENO);
  if (answers < 0) return false;
  fcntl(answers, F_SETFD, FD_CLOEXEC);
  // Without a standard error (a browser may start the host without one) the prints are dropped.
  const int sink = fcntl(STDERR_FILENO, F_GETFD) >= 0 ? STDERR_FILENO : open("/dev/null", O_WRONLY);
  if (sink < 0 || dup2(sink, STDOUT_FILENO) < 0) {
    close(answers);
    return false;
  }
  streams->in = stdin;
  streams->out = fdopen(answers, "wb");
  return streams->out != nullptr;
}

std::string HostProcess_ProgramFolder() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return std::string();
  const std::string full(path, static_cast<size_t>(n));
  return full.substr(0, full.rfind('/') + 1);
}
