#include <windows.h>
#include <wininet.h>

#include <stdlib.h>

#include "payment/gateway_control.h"

const bool kLoadedModulesAreMovedAside = true;

int GatewayControl_Request(const char* method, const char* path, const std::string& body, std::string* answer) {
  answer->clear();
  int status = -1;
  HINTERNET internet = InternetOpenA("vexo-payment-tests", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  HINTERNET connection = internet != nullptr ? InternetConnectA(internet, "127.0.0.1", 18080, nullptr, nullptr,
                                                                INTERNET_SERVICE_HTTP, 0, 0)
                                             : nullptr;
  const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
  HINTERNET request = connection != nullptr
                          ? HttpOpenRequestA(connection, method, path, "HTTP/1.1", nullptr, nullptr, flags, 0)
                          : nullptr;
  // No kept-alive connection: WinINet would start its connection collector thread for one, and under
  // qemu user-mode emulation that thread of 32-bit Wine crashes as it starts (see README).
  static const char kClose[] = "Connection: close\r\n";
  if (request != nullptr && HttpSendRequestA(request, kClose, static_cast<DWORD>(sizeof kClose - 1),
                                             const_cast<char*>(body.data()), static_cast<DWORD>(body.size()))) {
    DWORD code = 0;
    DWORD length = sizeof code;
    if (HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &length, nullptr)) {
      status = static_cast<int>(code);
    }
    char chunk[4096];
    DWORD got = 0;
    while (InternetReadFile(request, chunk, sizeof chunk, &got) && got > 0) answer->append(chunk, got);
  }
  if (request != nullptr) InternetCloseHandle(request);
  if (connection != nullptr) InternetCloseHandle(connection);
  if (internet != nullptr) InternetCloseHandle(internet);
  return status;
}

int ModuleTrace_Read(const char* variable) {
  char text[16] = {0};
  const DWORD n = GetEnvironmentVariableA(variable, text, sizeof text);
  return n > 0 && n < sizeof text ? atoi(text) : 0;
}

intptr_t OtherProcess_Start(const std::vector<std::string>& command, const std::string& outputPath) {
  std::string line;
  for (const std::string& word : command) line += (line.empty() ? "\"" : " \"") + word + "\"";
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE output = CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (output == INVALID_HANDLE_VALUE) return 0;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = output;
  startup.hStdError = output;
  PROCESS_INFORMATION started = {};
  const BOOL ok = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started);
  CloseHandle(output);
  if (!ok) return 0;
  CloseHandle(started.hThread);
  return reinterpret_cast<intptr_t>(started.hProcess);
}

int OtherProcess_Wait(intptr_t process, int timeoutMs) {
  HANDLE handle = reinterpret_cast<HANDLE>(process);
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(handle, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
    TerminateProcess(handle, static_cast<UINT>(-1));
    WaitForSingleObject(handle, INFINITE);
  } else if (!GetExitCodeProcess(handle, &code)) {
    code = static_cast<DWORD>(-1);
  }
  CloseHandle(handle);
  return static_cast<int>(code);
}

void OtherProcess_Kill(intptr_t process) {
  HANDLE handle = reinterpret_cast<HANDLE>(process);
  TerminateProcess(handle, static_cast<UINT>(-1));
  WaitForSingleObject(handle, INFINITE);
  CloseHandle(handle);
}
