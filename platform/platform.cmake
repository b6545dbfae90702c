# What the platform library needs beyond its sources (which the top level
# globs): SQLite for the registry, the dynamic loader, and position-independent
# code, since the shared libraries loaded by name (the filter) link it too.
find_package(SQLite3 REQUIRED)
target_link_libraries(cordavex_platform PRIVATE SQLite::SQLite3 ${CMAKE_DL_LIBS})
set_target_properties(cordavex_platform PROPERTIES POSITION_INDEPENDENT_CODE ON)
