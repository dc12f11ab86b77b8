// The payment tests' side of the local gateway's test control (vexo-gateway --control, on the
// plain port 18080 of loopback), and the load counts the sample payment modules leave in the
// process environment. gateway_control_win.cpp uses WinINet, gateway_control_posix.cpp libcurl.
#pragma once

#include <string>

// Sends one HTTP request to http://127.0.0.1:18080 + path; the answer's body goes to answer.
// Returns the HTTP status, or -1 when no answer came.
int GatewayControl_Request(const char* method, const char* path, const std::string& body, std::string* answer);

// The count a sample module wrote into the process environment variable (0 when absent).
int ModuleTrace_Read(const char* variable);
