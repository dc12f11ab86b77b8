#include <curl/curl.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>

#include "payment/gateway_control.h"

namespace {

size_t Collect(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

}  // namespace

const bool kLoadedModulesAreMovedAside = false;

int GatewayControl_Request(const char* method, const char* path, const std::string& body, std::string* answer) {
  answer->clear();
  CURL* curl = curl_easy_init();
  if (curl == nullptr) return -1;
  const std::string url = std::string("http://127.0.0.1:18080") + path;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, answer);
  if (std::string(method) == "POST") {
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
  }
  long status = -1;
  if (curl_easy_perform(curl) == CURLE_OK) curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_cleanup(curl);
  return static_cast<int>(status);
}

int ModuleTrace_Read(const char* variable) {
  const char* value = getenv(variable);
  return value != nullptr ? atoi(value) : 0;
}

extern char** environ;

intptr_t OtherProcess_Start(const std::vector<std::string>& command, const std::string& outputPath) {
  std::vector<char*> argv;
  for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? static_cast<intptr_t>(pid) : 0;
}

int OtherProcess_Wait(intptr_t process, int timeoutMs) {
  for (int waited = 0;; waited += 10) {
    int status = 0;
    const pid_t done = waitpid(static_cast<pid_t>(process), &status, WNOHANG);
    if (done == static_cast<pid_t>(process)) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (done < 0) return -1;
    if (waited >= timeoutMs) {
      OtherProcess_Kill(process);
      return -1;
    }
    const timespec pause = {0, 10 * 1000 * 1000};
    nanosleep(&pause, nullptr);
  }
}

void OtherProcess_Kill(intptr_t process) {
  kill(static_cast<pid_t>(process), SIGKILL);
  waitpid(static_cast<pid_t>(process), nullptr, 0);
}
