# Resource scripts (.rc) generated from the same sources as the POSIX build's embedded data, compiled
# by windres into the Windows executables.
include(${PROJECT_SOURCE_DIR}/cmake/EmbeddedManifest.cmake)

# nexlume_embed_files(<target> MANIFEST <file> BASE <folder>)
# Creates the OBJECT library <target> whose resource script holds the files named in MANIFEST (lines
# "<resource id><TAB><path relative to BASE>", '#' comments) as resources of type "BIN", which
# platform::findEmbeddedFile finds with FindResource. A program links exactly one such library.
function(nexlume_embed_files target)
  cmake_parse_arguments(ARG "" "MANIFEST;BASE" "" ${ARGN})
  nexlume_read_manifest(${ARG_MANIFEST} ${ARG_BASE} ids files)
  set(script "// Generated from ${ARG_MANIFEST}; do not edit.\n#pragma code_page(65001)\n")
  foreach(id file IN ZIP_LISTS ids files)
    nexlume_rc_quote(quoted "${file}")
    string(APPEND script "${id} BIN ${quoted}\n")
  endforeach()
  set(source "${CMAKE_CURRENT_BINARY_DIR}/${target}_files.rc")
  # written through a copy so that an unchanged script is not compiled again
  file(WRITE ${source}.new "${script}")
  configure_file(${source}.new ${source} COPYONLY)
  set_source_files_properties(${source} PROPERTIES OBJECT_DEPENDS "${files}")
  add_library(${target} OBJECT ${source})
endfunction()

# nexlume_string_table_script(<source> <output>)
# Writes the STRINGTABLE of the string-table source ("<id><TAB><text>" per line, the text literal to
# the end of the line, blank lines and '#' lines ignored) as a UTF-8 resource script.
function(nexlume_string_table_script source output)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(READ ${source} content)
  string(REPLACE "\r\n" "\n" content "${content}")
  set(script "// Generated from ${source}; do not edit.\n#pragma code_page(65001)\nSTRINGTABLE\n{\n")
  # Line by line without CMake lists, which would take ';' and a trailing backslash as list syntax.
  while(NOT content STREQUAL "")
    string(FIND "${content}" "\n" end)
    if(end EQUAL -1)
      set(line "${content}")
      set(content "")
    else()
      string(SUBSTRING "${content}" 0 ${end} line)
      math(EXPR next "${end} + 1")
      string(SUBSTRING "${content}" ${next} -1 content)
    endif()
    if(line MATCHES "^([0-9]+)\t")
      set(id ${CMAKE_MATCH_1})
      string(LENGTH "${CMAKE_MATCH_0}" prefix)
      string(SUBSTRING "${line}" ${prefix} -1 text)
      nexlume_rc_quote(quoted "${text}")
      string(APPEND script "  ${id}, ${quoted}\n")
    endif()
  endwhile()
  string(APPEND script "}\n")
  file(WRITE ${output}.new "${script}")
  configure_file(${output}.new ${output} COPYONLY)
endfunction()

# A resource-script string literal: backslashes doubled, quotes doubled, tabs escaped.
function(nexlume_rc_quote out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\"\"" text "${text}")
  string(REPLACE "\t" "\\t" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()
