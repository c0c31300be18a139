# A header-only library installed on the build machine (a Debian -dev package under /usr/include),
# as an INTERFACE target both builds use. The cross build sees its headers through a folder of their
# own, never the host's whole /usr/include.
#   nexlume_header_only_library(TARGET HEADER_FOLDER)  e.g. (nexlume_cli11 CLI)
function(nexlume_header_only_library target header_folder)
  find_path(NEXLUME_${target}_INCLUDE_DIR ${header_folder} NO_CMAKE_FIND_ROOT_PATH PATHS /usr/include REQUIRED)
  set(view ${CMAKE_BINARY_DIR}/${target}-include)
  file(MAKE_DIRECTORY ${view})
  file(CREATE_LINK ${NEXLUME_${target}_INCLUDE_DIR}/${header_folder} ${view}/${header_folder} SYMBOLIC)
  add_library(${target} INTERFACE)
  target_include_directories(${target} SYSTEM INTERFACE ${view})
endfunction()
