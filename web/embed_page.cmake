# Writes the page's files into a C++ source as byte arrays, run at build time:
#   cmake -DOUTPUT=page_files.cpp -DPAGE_DIR=web/page -DFILES="index.html;phone.js" -P embed_page.cmake
# Bytes rather than string literals: the files hold UTF-8 text of any length,
# and a byte array has neither escaping nor literal-length limits.
set(body "")
set(table "")
set(index 0)
foreach(name IN LISTS FILES)
  file(READ "${PAGE_DIR}/${name}" hex HEX)
  string(LENGTH "${hex}" hexLength)
  math(EXPR size "${hexLength} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  # Twenty bytes a line keep the generated file readable in a debugger.
  string(REGEX REPLACE "(('[^']+',){20})" "\\1\n    " bytes "${bytes}")
  string(APPEND body "const char kFile${index}[] = {\n    ${bytes}'\\0'};\n")
  string(APPEND table "    {\"/${name}\", std::string_view(kFile${index}, ${size})},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.tmp" "// Made by web/embed_page.cmake from web/page/ at build time.
#include \"web/page_files.h\"

namespace cordavex::web {

namespace {

${body}
const PageFile kFiles[] = {
${table}};

}  // namespace

std::span<const PageFile> PageFiles() { return kFiles; }

}  // namespace cordavex::web
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
