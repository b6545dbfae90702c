// The page's files (web/page/), compiled into the program at build time by
// embed_page.cmake, so that the program serves its page wherever it is
// installed. Any thread.
#pragma once

#include <span>
#include <string_view>

namespace cordavex::web {

struct PageFile {
  std::string_view path;  // "/index.html", "/phone.js", ...
  std::string_view bytes;
};

std::span<const PageFile> PageFiles();

}  // namespace cordavex::web
