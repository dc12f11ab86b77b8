// What the bridge host needs of its process, per platform: the standard streams taken over for the
// protocol, and the folder of the program itself.
#pragma once

#include <stdio.h>

#include <string>

struct ProtocolStreams {
  FILE* in = nullptr;   // the browser's messages (standard input)
  FILE* out = nullptr;  // the answers (what was standard output)
};

// Sets both streams to binary (on Windows text mode would turn a length byte 0x0A into CR LF),
// keeps a private handle on standard output for the answers, and points the process's standard
// output at standard error, so that whatever the plug-in or a payment module prints never mixes
// with the protocol. False when a stream cannot be set up.
bool HostProcess_TakeStreams(ProtocolStreams* streams);

// The folder of the running program, with a trailing separator ("" when unknown).
std::string HostProcess_ProgramFolder();
