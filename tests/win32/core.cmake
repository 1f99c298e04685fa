# Tests of the Win32 platform services (files, search, registry, program start)
# and the stand-in for MSACCESS.EXE that the start test launches.

add_executable(MSACCESS WIN32 ${CMAKE_CURRENT_LIST_DIR}/msaccess_standin.cpp)
set_target_properties(MSACCESS PROPERTIES OUTPUT_NAME MSACCESS SUFFIX .EXE)

add_executable(win32_core_tests ${CMAKE_CURRENT_LIST_DIR}/win32_core_tests.cpp)
target_link_libraries(win32_core_tests PRIVATE dravik_platform_system GTest::gtest_main)
target_compile_definitions(win32_core_tests PRIVATE
  WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
# The start test copies the stand-in from the folder of the test executable.
add_dependencies(win32_core_tests MSACCESS)
set_target_properties(MSACCESS win32_core_tests PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
dravik_add_test(win32_core win32_core_tests)

