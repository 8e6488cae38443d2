# Project code compiles with warnings as errors; third-party headers come in as system headers.
set(NIMBREL_WARNINGS -Wall -Wextra -Wpedantic -Werror)

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
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;NIMBREL_TEST=1")
endfunction()
