# How the project's own targets are built. Warnings, as errors, are set on each
# target, so that code built from elsewhere (GoogleTest) keeps its own.
function(dravik_target target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /utf-8 /permissive- /EHsc)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
  endif()
  set_target_properties(${target} PROPERTIES COMPILE_WARNING_AS_ERROR ON)
endfunction()

# The headers a target shows: copied into an include folder of its own, so that a
# target that uses it sees these and nothing else of the source tree. The logic
# therefore cannot include a platform implementation's header: it is not there.
#   dravik_headers(<target> <PUBLIC|PRIVATE|INTERFACE> <header relative to the root>...)
function(dravik_headers target scope)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  foreach(header IN LISTS ARGN)
    configure_file(${PROJECT_SOURCE_DIR}/${header} ${root}/${header} COPYONLY)
  endforeach()
  target_include_directories(${target} ${scope} ${root})
endfunction()

# What every piece of code that includes <windows.h> is built with, said once.
add_library(dravik_windows_definitions INTERFACE)
if(WIN32)
  target_compile_definitions(dravik_windows_definitions INTERFACE
    WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
endif()
