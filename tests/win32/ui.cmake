# The launcher window, message box and prompt under Wine, and DravikUser.exe,
# the tool that plays the user for tests that drive the real launcher.
set(DRAVIK_UI_ROOT "${PROJECT_SOURCE_DIR}")

# Plays the user: starts a program, holds keys, answers its prompts and
# message boxes, clicks its buttons and logs what it saw.
add_executable(dravik_user ${CMAKE_CURRENT_LIST_DIR}/user_player.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui_test_support.cpp)
set_target_properties(dravik_user PROPERTIES OUTPUT_NAME DravikUser)
target_include_directories(dravik_user PRIVATE ${DRAVIK_UI_ROOT})
target_compile_definitions(dravik_user PRIVATE
  WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601 UNICODE _UNICODE)
target_link_libraries(dravik_user PRIVATE user32 gdi32)
if(MINGW)
  target_link_options(dravik_user PRIVATE -municode)
endif()

# A small GUI program for DravikUser.exe to drive: it reads Ctrl and Shift,
# asks, shows messages and opens the launcher window, like the launcher does.
add_executable(dravik_ui_demo WIN32 ${CMAKE_CURRENT_LIST_DIR}/ui_demo_app.cpp)
target_link_libraries(dravik_ui_demo PRIVATE dravik_logic dravik_platform_system)

add_executable(win32_ui_tests
  ${CMAKE_CURRENT_LIST_DIR}/ui_test_support.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui_window_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui_prompt_message_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui_user_player_test.cpp)
target_link_libraries(win32_ui_tests PRIVATE dravik_logic dravik_platform_system GTest::gtest_main)
add_dependencies(win32_ui_tests dravik_user dravik_ui_demo)
target_compile_definitions(win32_ui_tests PRIVATE
  DRAVIK_USER_EXE="$<TARGET_FILE:dravik_user>"
  DRAVIK_UI_DEMO_EXE="$<TARGET_FILE:dravik_ui_demo>"
  DRAVIK_ARTIFACT_DIR="${CMAKE_BINARY_DIR}/artifacts")
dravik_add_test(win32_ui win32_ui_tests)
# DravikUser holds Ctrl and Shift on the one Wine desktop; see the end-to-end tests.
set_tests_properties(win32_ui PROPERTIES RESOURCE_LOCK wine_desktop)
