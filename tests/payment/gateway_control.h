// The payment tests' side of the local gateway's test control (vexo-gateway --control, on the
// plain port 18080 of loopback), the load counts the sample payment modules leave in the process
// environment, and the other processes a test starts. gateway_control_win.cpp uses WinINet and
// CreateProcess, gateway_control_posix.cpp libcurl and posix_spawn.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

// Sends one HTTP request to http://127.0.0.1:18080 + path; the answer's body goes to answer.
// Returns the HTTP status, or -1 when no answer came.
int GatewayControl_Request(const char* method, const char* path, const std::string& body, std::string* answer);

// The count a sample module wrote into the process environment variable (0 when absent).
int ModuleTrace_Read(const char* variable);

// Starts command[0] with the other words as its arguments, standard output and error going to the
// file outputPath; it inherits this process's environment. A handle, or 0 when it did not start.
intptr_t OtherProcess_Start(const std::vector<std::string>& command, const std::string& outputPath);
// Waits up to timeoutMs for the process to end and forgets it: its exit status, or -1 when it did
// not end in time (it is then killed).
int OtherProcess_Wait(intptr_t process, int timeoutMs);
// Ends the process at once, as a crash or the task manager would (it runs no clean-up of its own).
void OtherProcess_Kill(intptr_t process);

// Windows refuses to replace a loaded module's file, so the update moves it aside; a rename
// replaces it natively.
extern const bool kLoadedModulesAreMovedAside;
