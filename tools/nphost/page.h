// The page nphost runs: a small HTML file read for what a plug-in page needs: the title, the
// elements with an id (the plug-in's <embed> among them), and the scripts in document order.
// Inline scripts and <script src="..."> files next to the page both count. No layout, no DOM tree.
#pragma once

#include <map>
#include <string>
#include <vector>

struct PageElement {
  std::string tag;                                // lower case: "embed", "input", "pre", ...
  std::map<std::string, std::string> attributes;  // names in lower case, values with entities decoded
  std::string text;                               // text up to the next tag (for <pre>, <span>, ...)
  int line = 0;

  std::string Attribute(const std::string& name) const;
  bool IsPlugin(const std::string& mimeType) const;  // an <embed>/<object> of that type
};

struct PageScript {
  std::string code;
  std::string fileName;  // the page for inline scripts, else the src file
  int firstLine = 1;     // line of the code's first character in that file
};

struct Page {
  std::string path;
  std::string url;  // window.location.href; empty: no location object
  std::string title;
  std::vector<PageElement> elements;  // in document order
  std::vector<PageScript> scripts;    // in document order
};

// Reads the page at path. False with a message in error when the page or one of its script files
// cannot be read.
bool Page_Load(const std::string& path, Page* page, std::string* error);
