// The plug-in library as a browser loads it: LoadLibrary on Windows, dlopen on Unix, and the
// exported entry points of the platform's variant.
#pragma once

#include <string>

#include "npapi/npapi.h"

namespace host {

class PluginLibrary {
 public:
  PluginLibrary() = default;
  ~PluginLibrary() { Unload(); }
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  bool Load(const std::string& path);
  void Unload();
  bool loaded() const { return handle_ != nullptr; }
  void* Symbol(const char* name) const;
  // The loaded library's version, "major.minor.build.revision": on Windows its version resource's
  // file version; a Unix plug-in carries none, so there it is the version of this build
  // (VEXO_PLUGIN_VERSION). "" when nothing is loaded.
  std::string Version() const;

  // NP_GetEntryPoints on Windows. On Unix there is no such export: NP_Initialize fills the
  // plug-in table, so this calls it with the given (valid) browser table.
  NPError GetEntryPoints(NPPluginFuncs* table, NPNetscapeFuncs* browserTable);
  // NP_Initialize with the browser table. On Unix a full-size plug-in table goes along.
  NPError Initialize(NPNetscapeFuncs* funcs);
  NPError Shutdown();

 private:
  void* handle_ = nullptr;
};

}  // namespace host
