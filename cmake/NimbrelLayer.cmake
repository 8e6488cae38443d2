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

# nimbrel_layer(NAME DIR [PUBLIC DEPS...] [PRIVATE DEPS...]): a static library of every .cpp/.h in
# DIR (recursively). PUBLIC names what the layer's headers include, PRIVATE what only its sources do,
# each layer and library once: a layer's include root holds only DIR, so a header of a layer it does
# not link is not found and the build refuses what scripts/check-layers refuses. A layer with no
# sources yet is an interface library. DIR/layer.cmake, when present, is included afterwards for
# layer-specific additions (resources, generated files).
function(nimbrel_layer name dir)
  cmake_parse_arguments(PARSE_ARGV 2 deps "" "" "PUBLIC;PRIVATE")
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  set(cpp ${sources})
  list(FILTER cpp INCLUDE REGEX "\\.cpp$")
  # Includes name the layer's folder ("model/app_state.h"); the root is a folder of its own that
  # links to it, so it exposes nothing but this layer.
  get_filename_component(layer ${dir} NAME)
  set(root ${CMAKE_BINARY_DIR}/layer-include/${layer})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${dir} ${root}/${layer} SYMBOLIC)
  if(cpp)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${root})
    target_compile_options(${name} PRIVATE ${NIMBREL_WARNINGS})
    target_link_libraries(${name} PUBLIC ${deps_PUBLIC} PRIVATE ${deps_PRIVATE})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${root})
    target_link_libraries(${name} INTERFACE ${deps_PUBLIC} ${deps_PRIVATE})
  endif()
  nimbrel_refresh_autogen(${name} "${sources}")
  if(EXISTS ${dir}/layer.cmake)
    include(${dir}/layer.cmake)
  endif()
endfunction()

# nimbrel_tests(NAME DIR MAIN DEPS...): one test executable per layer, run by ctest; DEPS are the
# layers and libraries its tests include.
function(nimbrel_tests name dir main)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources} ${main})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
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
