// Finds the plug-in library for a MIME type the way a browser does before it loads anything.
// Windows: the plug-ins registered under Software\MozillaPlugins (HKCU first, then HKLM), each
// one's "Path" value, whose version resource lists its types ("MIMEType", separated by '|').
// Unix: the libraries in the folders of MOZ_PLUGIN_PATH (separated by ':'), then
// ~/.mozilla/plugins, each asked for its NP_GetMIMEDescription ("type:suffixes:name;...").
#pragma once

#include <string>

namespace host {

// The library's path, or "" when no plug-in declares the type.
std::string FindPluginForMime(const std::string& mime);

// True when one entry of list (entries separated by separator, each a type optionally followed
// by ':' and more fields) names mime, compared without regard to letter case.
bool MimeListDeclares(const std::string& list, char separator, const std::string& mime);

// The file version (a.b.c.d) of a program or library's version resource, "" when it has none
// (always on Unix, whose libraries carry no version resource).
std::string FileVersion(const std::string& path);

}  // namespace host
