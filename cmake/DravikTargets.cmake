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

# A Windows program's icon, version information and manifest: the resource script
# made from `script` (<name>.rc.in beside the sources), rebuilt when one of the
# files it takes in changes. MSVC takes the manifest from it, not from the linker.
#   dravik_windows_resources(<target> <script> <file the script takes in>...)
function(dravik_windows_resources target script)
  if(NOT WIN32)
    return()
  endif()
  set(DRAVIK_RESOURCE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  get_filename_component(name ${script} NAME_WLE)
  set(made ${CMAKE_CURRENT_BINARY_DIR}/${name})
  configure_file(${script} ${made} @ONLY)
  target_sources(${target} PRIVATE ${made})
  list(TRANSFORM ARGN PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
  set_property(SOURCE ${made} APPEND PROPERTY OBJECT_DEPENDS ${ARGN})
  if(MSVC)
    target_link_options(${target} PRIVATE /MANIFEST:NO)
  endif()
endfunction()

# What every piece of code that includes <windows.h> is built with, said once.
add_library(dravik_windows_definitions INTERFACE)
if(WIN32)
  target_compile_definitions(dravik_windows_definitions INTERFACE
    WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
endif()
