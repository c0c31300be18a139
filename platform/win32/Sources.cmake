# The Windows implementation of nexlume_platform, included by platform/CMakeLists.txt on WIN32.
enable_language(RC)
include(${CMAKE_CURRENT_LIST_DIR}/ResourceScripts.cmake)

add_library(nexlume_platform STATIC
  FaultInjection.cpp
  WriteFile.cpp
  win32/FileSystem.cpp
  win32/Progress.cpp
  win32/Registry.cpp
  win32/Resources.cpp
  win32/RunLock.cpp
  win32/WideText.cpp)
# The Restart Manager names the programs that hold a file open.
target_link_libraries(nexlume_platform PUBLIC rstrtmgr)

# The string table is a resource of every program that links the platform layer: its object is
# linked into each executable (an archive member with no symbol would be dropped).
nexlume_string_table_script(${NEXLUME_STRING_TABLE_SOURCE} ${CMAKE_CURRENT_BINARY_DIR}/strings.rc)
add_library(nexlume_string_table OBJECT ${CMAKE_CURRENT_BINARY_DIR}/strings.rc)
target_link_libraries(nexlume_platform INTERFACE $<TARGET_OBJECTS:nexlume_string_table>)
