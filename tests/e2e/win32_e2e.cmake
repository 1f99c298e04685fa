# End-to-end scenarios with the real DravikVT.exe under Wine: DravikUser.exe
# plays the user and the stand-in MSACCESS.EXE notes how Access was started;
# DravikPublish.exe publishes while launchers update.
# One test binary holds every scenario, so Wine starts once for all of them.
file(GLOB DRAVIK_E2E_WIN32_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/win32_*.cpp)
add_executable(e2e_win32_tests ${DRAVIK_E2E_WIN32_SOURCES}
                               ${PROJECT_SOURCE_DIR}/tests/win32/ui_test_support.cpp)
target_include_directories(e2e_win32_tests PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(e2e_win32_tests PRIVATE
  WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601 UNICODE _UNICODE
  DRAVIK_LAUNCHER_EXE="$<TARGET_FILE:DravikVT>"
  DRAVIK_MSACCESS_EXE="$<TARGET_FILE:MSACCESS>"
  DRAVIK_USER_EXE="$<TARGET_FILE:dravik_user>"
  DRAVIK_PUBLISH_EXE="$<TARGET_FILE:DravikPublish>")
target_link_libraries(e2e_win32_tests PRIVATE dravik_platform_system GTest::gtest_main advapi32 user32 gdi32)
add_dependencies(e2e_win32_tests DravikVT DravikPublish MSACCESS dravik_user)
dravik_add_test(e2e_win32_${DRAVIK_BITS} e2e_win32_tests)
# The keyboard state is one for the whole Wine desktop, and Wine sets it back to
# the X server's whenever a window takes the focus: tests that hold Ctrl and Shift
# must not overlap with any test that shows a window.
set_tests_properties(e2e_win32_${DRAVIK_BITS} PROPERTIES
  RESOURCE_LOCK "access_trusted_locations;wine_desktop")
