include(GoogleTest)

# Project code compiles with warnings as errors in developer and CI builds; third-party headers come
# in as system headers. A Release build (what a packager runs, perhaps with a newer compiler that
# warns about more) keeps the warnings but does not stop on them, unless NIMBREL_WERROR says so.
if(CMAKE_BUILD_TYPE MATCHES "^(Release|MinSizeRel)$")
  set(nimbrel_werror_default OFF)
else()
  set(nimbrel_werror_default ON)
endif()
option(NIMBREL_WERROR "Treat warnings in project code as errors" ${nimbrel_werror_default})
set(NIMBREL_WARNINGS -Wall -Wextra -Wpedantic)
if(NIMBREL_WERROR)
  list(APPEND NIMBREL_WARNINGS -Werror)
endif()
# g++ 12 inlines std::string concatenation at -O2/-O3 and then reports a memcpy overlap that cannot
# happen (fixed in g++ 13); the warning fires inside libstdc++ for `"d" + std::to_string(i)`.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND NIMBREL_WARNINGS -Wno-restrict)
endif()

# Ninja's moc step does not notice a file added to a glob (its extra inputs are order-only), so an
# existing build would link without a new Qt class's moc output. When a target's file list changes,
# drop the step's output stamp so it runs again.
function(nimbrel_refresh_autogen name sources)
  if(NOT CMAKE_AUTOMOC)
    return()
  endif()
  set(list_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_sources.txt)
  set(previous "")
  if(EXISTS ${list_file})
    file(READ ${list_file} previous)
  endif()
  if(NOT previous STREQUAL "${sources}")
    file(WRITE ${list_file} "${sources}")
    file(REMOVE ${CMAKE_CURRENT_BINARY_DIR}/${name}_autogen/timestamp)
  endif()
endfunction()

# nimbrel_layer(NAME DIR DEPS...): a static library of every .cpp/.h in DIR (recursively).
# A layer with no sources yet is an interface library, so later layers can link it already.
# DIR/layer.cmake, when present, is included afterwards for layer-specific additions
# (resources, extra link libraries).
function(nimbrel_layer name dir)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  set(cpp ${sources})
  list(FILTER cpp INCLUDE REGEX "\\.cpp$")
  if(cpp)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_compile_options(${name} PRIVATE ${NIMBREL_WARNINGS})
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
  nimbrel_refresh_autogen(${name} "${sources}")
  if(EXISTS ${dir}/layer.cmake)
    include(${dir}/layer.cmake)
  endif()
endfunction()

# nimbrel_tests(NAME DIR MAIN DEPS...): one test executable per layer, run by ctest.
function(nimbrel_tests name dir main)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources} ${main})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_compile_options(${name} PRIVATE ${NIMBREL_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest GTest::gmock)
  nimbrel_refresh_autogen(${name} "${sources}")
  # One ctest entry per test, listed when ctest runs (a sanitizer build's listing would otherwise run
  # at link time). A test that hangs fails after two minutes instead of holding the run.
  # Each test carries its layer as a label: `ctest -L model`.
  string(REGEX REPLACE "^nimbrel_(.*)_tests$" "\\1" layer ${name})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen TIMEOUT 120 LABELS ${layer})
endfunction()
