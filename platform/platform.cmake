# What the platform library needs beyond its sources (which the top level
# globs): SQLite for the registry, the dynamic loader, and position-independent
# code, since the shared libraries loaded by name (the filter) link it too.
find_package(SQLite3 REQUIRED)
target_link_libraries(cordavex_platform PRIVATE SQLite::SQLite3 ${CMAKE_DL_LIBS})
set_target_properties(cordavex_platform PROPERTIES POSITION_INDEPENDENT_CODE ON)
# The device profile reads device.json with nlohmann/json (header-only, used
# by device_profile.cpp alone; nothing of it reaches the installed library).
find_package(nlohmann_json REQUIRED)
target_link_libraries(cordavex_platform PRIVATE $<BUILD_INTERFACE:nlohmann_json::nlohmann_json>)
