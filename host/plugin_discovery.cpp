#include "host/plugin_discovery.h"

#include <ctype.h>

namespace host {

namespace {
bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}
}  // namespace

bool MimeListDeclares(const std::string& list, char separator, const std::string& mime) {
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(separator, start);
    if (end == std::string::npos) end = list.size();
    std::string entry = list.substr(start, end - start);
    entry = entry.substr(0, entry.find(':'));
    const size_t first = entry.find_first_not_of(' ');
    const size_t last = entry.find_last_not_of(' ');
    if (first != std::string::npos) entry = entry.substr(first, last - first + 1);
    if (!entry.empty() && SameTextIgnoringCase(entry, mime))
      return true;
    start = end + 1;
  }
  return false;
}

}  // namespace host
