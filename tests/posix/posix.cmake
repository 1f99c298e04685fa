# Behaviour of the POSIX platform that only POSIX has: letter case on a
# case-sensitive disk, the code page of text files, the registry folder tree,
# the terminal window and detached program start.
file(GLOB DRAVIK_POSIX_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_executable(posix_tests ${DRAVIK_POSIX_TEST_SOURCES})
target_link_libraries(posix_tests PRIVATE dravik_logic dravik_platform_system GTest::gtest_main util)
dravik_add_test(posix_platform posix_tests)
