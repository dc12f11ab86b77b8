#include "tools/nphost/page.h"

#include <ctype.h>
#include <stdio.h>

namespace {

bool ReadFile(const std::string& path, std::string* out) {
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  out->clear();
  char buffer[8192];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) out->append(buffer, n);
  fclose(f);
  return true;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string DecodeEntities(const std::string& text) {
  static const struct { const char* name; char c; } kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}, {"&apos;", '\''}};
  std::string out;
  for (size_t i = 0; i < text.size();) {
    bool replaced = false;
    if (text[i] == '&') {
      for (const auto& e : kEntities) {
        const std::string name = e.name;
        if (text.compare(i, name.size(), name) == 0) {
          out += e.c;
          i += name.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += text[i++];
  }
  return out;
}

int LineAt(const std::string& html, size_t pos) {
  int line = 1;
  for (size_t i = 0; i < pos && i < html.size(); ++i) {
    if (html[i] == '\n') ++line;
  }
  return line;
}

// Parses the attributes of a start tag between begin and end (after the tag name).
void ParseAttributes(const std::string& html, size_t pos, size_t end, std::map<std::string, std::string>* out) {
  while (pos < end) {
    while (pos < end && (isspace(static_cast<unsigned char>(html[pos])) || html[pos] == '/')) ++pos;
    const size_t nameStart = pos;
    while (pos < end && !isspace(static_cast<unsigned char>(html[pos])) && html[pos] != '=' && html[pos] != '/') ++pos;
    if (pos == nameStart) break;
    const std::string name = Lower(html.substr(nameStart, pos - nameStart));
    while (pos < end && isspace(static_cast<unsigned char>(html[pos]))) ++pos;
    std::string value;
    if (pos < end && html[pos] == '=') {
      ++pos;
      while (pos < end && isspace(static_cast<unsigned char>(html[pos]))) ++pos;
      if (pos < end && (html[pos] == '"' || html[pos] == '\'')) {
        const char quote = html[pos++];
        const size_t close = html.find(quote, pos);
        const size_t stop = close == std::string::npos || close > end ? end : close;
        value = html.substr(pos, stop - pos);
        pos = stop + 1;
      } else {
        const size_t valueStart = pos;
        while (pos < end && !isspace(static_cast<unsigned char>(html[pos]))) ++pos;
        value = html.substr(valueStart, pos - valueStart);
      }
    }
    (*out)[name] = DecodeEntities(value);
  }
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

std::string PageElement::Attribute(const std::string& name) const {
  auto it = attributes.find(name);
  return it == attributes.end() ? std::string() : it->second;
}

bool PageElement::IsPlugin(const std::string& mimeType) const {
  return (tag == "embed" || tag == "object") && Lower(Attribute("type")) == mimeType;
}

bool Page_Load(const std::string& path, Page* page, std::string* error) {
  std::string html;
  if (!ReadFile(path, &html)) {
    *error = "cannot read " + path;
    return false;
  }
  page->path = path;
  size_t pos = 0;
  while ((pos = html.find('<', pos)) != std::string::npos) {
    if (html.compare(pos, 4, "<!--") == 0) {
      const size_t close = html.find("-->", pos);
      pos = close == std::string::npos ? html.size() : close + 3;
      continue;
    }
    size_t nameEnd = pos + 1;
    while (nameEnd < html.size() && isalnum(static_cast<unsigned char>(html[nameEnd]))) ++nameEnd;
    const std::string tag = Lower(html.substr(pos + 1, nameEnd - pos - 1));
    const size_t tagEnd = html.find('>', nameEnd);
    if (tag.empty() || tagEnd == std::string::npos) {
      pos = nameEnd;
      continue;
    }
    PageElement element;
    element.tag = tag;
    element.line = LineAt(html, pos);
    ParseAttributes(html, nameEnd, tagEnd, &element.attributes);
    const size_t contentStart = tagEnd + 1;
    pos = contentStart;
    if (tag == "script" || tag == "title") {
      const std::string closeTag = "</" + tag;
      size_t close = contentStart;
      while ((close = html.find('<', close)) != std::string::npos && Lower(html.substr(close, closeTag.size())) != closeTag) ++close;
      if (close == std::string::npos) close = html.size();
      const std::string content = html.substr(contentStart, close - contentStart);
      pos = close;
      if (tag == "title") {
        page->title = DecodeEntities(content);
        continue;
      }
      PageScript script;
      const std::string src = element.Attribute("src");
      if (src.empty()) {
        script.code = content;
        script.fileName = path;
        script.firstLine = LineAt(html, contentStart);
      } else {
        script.fileName = FolderOf(path) + src;
        if (!ReadFile(script.fileName, &script.code)) {
          *error = "cannot read script " + script.fileName + " (" + path + " line " + std::to_string(element.line) + ")";
          return false;
        }
      }
      page->scripts.push_back(script);
      continue;
    }
    if (element.attributes.count("id") == 0) continue;
    const size_t next = html.find('<', contentStart);
    element.text = DecodeEntities(html.substr(contentStart, (next == std::string::npos ? html.size() : next) - contentStart));
    page->elements.push_back(element);
  }
  return true;
}
