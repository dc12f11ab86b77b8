// vexo-bridge: the native messaging host that brings the plug-in to browsers without NPAPI. The
// browser extension's service worker starts it (one process per page) and talks to it on standard
// input and output; it loads the real plug-in library as a browser does, makes one plug-in instance
// per page object and calls the plug-in's script object for the page (see bridge_session.h).
//
//   vexo-bridge [--plugin PATH] [browser arguments...]
//   vexo-bridge --check     prints, one line a browser, whether the bridge is ready in it
//                           (bridge_check.h); exit status 0 when at least one browser is ready
//
// The plug-in is the one next to the program unless --plugin names another. The arguments a
// browser passes (the caller's origin, a window handle, a manifest path) are ignored. The program
// ends when the browser closes standard input; every instance is destroyed first. With
// VEXO_BRIDGE_TIMES set in its environment it prints to standard error how long each answer took
// ("vexo-bridge: 12.3 us for {request...}"), for measuring the bridge hop by hop. With
// VEXO_BRIDGE_STATS set, the message "stats" (a JSON string) is answered with what the process
// holds: "rss_kb=.. handles=.. blocks=.. objects=.." (the soak's pipe mode, tools/bench/soak.sh).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <string>

#include "bridge/host/bridge_check.h"
#include "bridge/host/bridge_session.h"
#include "bridge/host/host_process.h"
#include "bridge/host/message_frame.h"
#include "host/browser.h"
#include "tools/demo/open_handles.h"
#include "tools/nphost/process_memory.h"

namespace {

std::string PluginPath(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (strcmp(argv[i], "--plugin") == 0) return argv[i + 1];
  }
  return HostProcess_ProgramFolder() + VEXO_PLUGIN_FILE;  // the plug-in's file name, from the build
}

std::string Stats(const host::Browser& browser) {
  return "{\"id\":null,\"result\":\"rss_kb=" + std::to_string(ProcessMemory_ResidentKb()) +
         " handles=" + std::to_string(OpenHandles_Count()) + " blocks=" + std::to_string(browser.OutstandingBlocks()) +
         " objects=" + std::to_string(browser.LiveObjects()) + "\"}";
}

std::string FrameError(FrameStatus status) {
  return status == FRAME_EMPTY ? "an empty message" : "a message over 1 MB";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && strcmp(argv[1], "--check") == 0) return Check_Run(stdout, VEXO_BRIDGE_HOST_NAME, VEXO_PLUGIN_FILE);
  ProtocolStreams streams;
  if (!HostProcess_TakeStreams(&streams)) {
    fprintf(stderr, "vexo-bridge: cannot set up standard input and output\n");
    return 1;
  }
  setvbuf(stdout, nullptr, _IONBF, 0);  // the plug-in's prints, now on standard error, as they happen
  const std::string pluginPath = PluginPath(argc, argv);
  host::Browser browser;
  const bool loaded = browser.Start(pluginPath);
  std::string loadError;
  if (!loaded) {
    loadError = "cannot load the plug-in " + pluginPath + " (error " + std::to_string(browser.lastError()) + ")";
    fprintf(stderr, "vexo-bridge: %s\n", loadError.c_str());
  }

  {
    BridgeSession session(loaded ? &browser : nullptr, loadError);
    const bool timed = getenv("VEXO_BRIDGE_TIMES") != nullptr;
    const bool stats = getenv("VEXO_BRIDGE_STATS") != nullptr;
    std::string message;
    for (;;) {
      const FrameStatus status = Frame_Read(streams.in, &message);
      if (status == FRAME_END) break;
      const auto start = std::chrono::steady_clock::now();
      const std::string answer = stats && message == "\"stats\"" ? Stats(browser)
                                 : status == FRAME_MESSAGE ? session.Answer(message.data(), message.size())
                                                           : BridgeSession::ErrorAnswer("null", FrameError(status));
      if (timed) {
        const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
        fprintf(stderr, "vexo-bridge: %.1f us for %.100s\n", took.count(), message.c_str());
      }
      if (!Frame_Write(streams.out, answer)) break;
    }
  }
  browser.Stop();
  fclose(streams.out);
  return 0;
}
