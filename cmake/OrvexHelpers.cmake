# Project-wide CMake helpers.

# Adds DIR when it holds a CMakeLists.txt, so a layer can land before its neighbours.
function(orvex_add_subdirectory_if_present dir)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endfunction()

# Adds every child folder of DIR that holds a CMakeLists.txt (tests/<area>, bench/<area>).
function(orvex_add_child_directories dir)
  file(GLOB children LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# orvex_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [ENVIRONMENT VAR=value ...])
# The one way a test executable is built and registered, so nothing is built and never run.
function(orvex_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main
                                        Threads::Threads)
  if(T_ENVIRONMENT)
    # A list-valued ENVIRONMENT property does not survive test discovery whole, so every entry
    # reaches the test (and its discovery run) through `cmake -E env` as the launcher.
    set_target_properties(${name} PROPERTIES
      CROSSCOMPILING_EMULATOR "${CMAKE_COMMAND};-E;env;${T_ENVIRONMENT}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()

# orvex_add_benchmark(NAME SOURCES ... LIBS ...)
function(orvex_add_benchmark name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark Threads::Threads)
endfunction()

# orvex_build_uninstrumented(TARGET)
# Builds TARGET, a program that only makes files at build time, without the sanitizers and
# optimised whatever the build type, so a sanitizer build runs it at full speed. It must link
# nothing built with the sanitizers.
function(orvex_build_uninstrumented target)
  if(NOT ORVEX_SANITIZE)
    return()
  endif()
  foreach(property COMPILE_OPTIONS LINK_OPTIONS)
    get_target_property(options ${target} ${property})
    if(options)
      list(REMOVE_ITEM options ${ORVEX_SANITIZE_COMPILE_OPTIONS} ${ORVEX_SANITIZE_LINK_OPTIONS})
      set_target_properties(${target} PROPERTIES ${property} "${options}")
    endif()
  endforeach()
  target_compile_options(${target} PRIVATE $<$<CONFIG:Debug>:-O2>)
endfunction()
