# cmake -P script run by the install test (see CMakeLists.txt beside it).
cmake_minimum_required(VERSION 3.25)
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "failed (${status}): ${command}\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# Only the public headers are installed.
file(GLOB_RECURSE installed_headers RELATIVE ${prefix}/include ${prefix}/include/*)
foreach(header IN LISTS installed_headers)
  if(NOT header MATCHES "^cordavex/[a-z_]+\\.h$")
    message(FATAL_ERROR "installed a header outside the public set: ${header}")
  endif()
endforeach()
if(NOT "cordavex/cordavex.h" IN_LIST installed_headers OR NOT "cordavex/version.h" IN_LIST installed_headers)
  message(FATAL_ERROR "umbrella or version header not installed: ${installed_headers}")
endif()

# find_package(Cordavex) and cordavex::core.
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/build -G ${GENERATOR}
  -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
  "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer)
message(STATUS "find_package: ${run_output}")

# pkg-config, with the flags it gives and nothing else of ours.
file(GLOB pc_dirs ${prefix}/lib*/pkgconfig ${prefix}/lib/*/pkgconfig)
string(REPLACE ";" ":" pc_path "${pc_dirs}")
set(ENV{PKG_CONFIG_PATH} "${pc_path}")
run(${PKG_CONFIG} --cflags --libs cordavex)
string(STRIP "${run_output}" pc_flags)
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
separate_arguments(cxx_flags UNIX_COMMAND "${CXX_FLAGS} ${LINKER_FLAGS}")
run(${CXX_COMPILER} -std=c++20 ${cxx_flags} ${CONSUMER_DIR}/main.cpp ${pc_flags}
  -o ${WORK_DIR}/consumer_pc)
run(${WORK_DIR}/consumer_pc)
message(STATUS "pkg-config: ${run_output}")
