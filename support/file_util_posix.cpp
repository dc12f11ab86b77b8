#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

#include "support/file_util.h"
#include "support/status.h"

namespace {

constexpr long kLockPollNs = 5 * 1000 * 1000;  // a waiter tries again every 5 ms

int64_t NowMs() {
  timespec now = {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

}  // namespace

int File_Replace(const char* source, const char* destination) {
  if (source == nullptr || destination == nullptr) return ERR_NO_FILE;
  return rename(source, destination) == 0 ? STATUS_OK : (errno != 0 ? errno : ERR_REMOVE);
}

bool File_RefusedAsInUse(const char*, int) { return false; }

unsigned long Process_Id() { return static_cast<unsigned long>(getpid()); }

bool Process_IsRunning(unsigned long pid) {
  if (pid == 0 || pid > 0x7fffffffUL) return false;
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

int File_ListDir(const char* dir, void (*visit)(const char* name, void* context), void* context) {
  DIR* entries = dir != nullptr ? opendir(dir) : nullptr;
  if (entries == nullptr) return ERR_NO_FILE;
  while (const dirent* entry = readdir(entries)) {
    const char* name = entry->d_name;
    if (strcmp(name, ".") != 0 && strcmp(name, "..") != 0) visit(name, context);
  }
  closedir(entries);
  return STATUS_OK;
}

// flock on the directory itself: no lock file. Each DirLock_Take opens the directory anew, so two
// holders in one process exclude each other as two processes do.
int DirLock_Take(DirLock* lock, const char* dir, int waitMs, bool* waited) {
  lock->handle = 0;
  *waited = false;
  if (dir == nullptr || dir[0] == '\0') return ERR_NO_FILE;
  const int fd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return ERR_NO_FILE;
  const int64_t deadline = NowMs() + waitMs;
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      lock->handle = static_cast<intptr_t>(fd) + 1;
      return STATUS_OK;
    }
    const int error = errno;
    if (error != EWOULDBLOCK && error != EINTR) {
      close(fd);
      return error;
    }
    *waited = true;
    if (NowMs() >= deadline) {
      close(fd);
      return ERR_LOCK_BUSY;
    }
    const timespec pause = {0, kLockPollNs};
    nanosleep(&pause, nullptr);
  }
}

void DirLock_Release(DirLock* lock) {
  if (lock == nullptr || lock->handle == 0) return;
  close(static_cast<int>(lock->handle - 1));  // closing the last descriptor drops the flock
  lock->handle = 0;
}
