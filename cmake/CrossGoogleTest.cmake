# GoogleTest for a cross build: no package is installed for the target, so it is built from
# Debian's source (googletest package, /usr/src/googletest) with the project's compiler.
# The tests run under CMAKE_CROSSCOMPILING_EMULATOR; they are listed when CTest runs (not while
# building), so that building needs no emulator.
set(NEXLUME_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree for cross builds")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${NEXLUME_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# (its own build defines GTest::gtest and GTest::gtest_main)
target_compile_options(gtest PRIVATE -w)
target_compile_options(gtest_main PRIVATE -w)
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
