# The content scanner and parser are generated from content.l and content.y
# into the build tree (included from the top CMakeLists.txt so that the
# generating rules belong to cordavex_core's directory); the generated files are never committed.
find_package(FLEX 2.6 REQUIRED)
find_package(BISON 3.0 REQUIRED)

set(content_gen ${PROJECT_BINARY_DIR}/content)
file(MAKE_DIRECTORY ${content_gen})
BISON_TARGET(ContentParser ${PROJECT_SOURCE_DIR}/content/content.y ${content_gen}/content_parser.cpp
  DEFINES_FILE ${content_gen}/content_parser.h
  COMPILE_FLAGS "-Wall -Werror")
FLEX_TARGET(ContentScanner ${PROJECT_SOURCE_DIR}/content/content.l ${content_gen}/content_scanner.cpp
  DEFINES_FILE ${content_gen}/content_scanner.h)
ADD_FLEX_BISON_DEPENDENCY(ContentScanner ContentParser)

target_sources(cordavex_core PRIVATE ${BISON_ContentParser_OUTPUTS} ${FLEX_ContentScanner_OUTPUTS})
# Generated code is not held to our warning set.
set_source_files_properties(${BISON_ContentParser_OUTPUTS} ${FLEX_ContentScanner_OUTPUTS}
  PROPERTIES COMPILE_OPTIONS "-w")
