include(${PROJECT_SOURCE_DIR}/cmake/EmbeddedManifest.cmake)

# nexlume_embed_files(<target> MANIFEST <file> BASE <folder>)
# Creates the OBJECT library <target> that holds the files named in MANIFEST (lines
# "<resource id><TAB><path relative to BASE>", '#' comments) in the program image, and the table
# nexlume_embedded_files that platform::findEmbeddedFile searches. A program links exactly one
# such library: the installer links nexlume_resources, a test may link its own.
function(nexlume_embed_files target)
  cmake_parse_arguments(ARG "" "MANIFEST;BASE" "" ${ARGN})
  nexlume_read_manifest(${ARG_MANIFEST} ${ARG_BASE} ids files)
  set(data "")
  set(table "")
  list(LENGTH ids count)
  foreach(id file IN ZIP_LISTS ids files)
    string(APPEND data "    .balign 16\nnexlume_res_${id}_begin:\n    .incbin \"${file}\"\nnexlume_res_${id}_end:\n")
    string(APPEND table "    .quad ${id}, nexlume_res_${id}_begin, nexlume_res_${id}_end\n")
  endforeach()
  set(source "${CMAKE_CURRENT_BINARY_DIR}/${target}_files.s")
  # written through a copy so that an unchanged table is not assembled again
  file(WRITE ${source}.new
"# Generated from ${ARG_MANIFEST}; do not edit.
    .section .rodata.nexlume_embedded_data,\"a\"
${data}
    .section .data.rel.ro.nexlume_embedded_table,\"aw\"
    .balign 8
    .globl nexlume_embedded_files
nexlume_embedded_files:
${table}
    .balign 8
    .globl nexlume_embedded_file_count
nexlume_embedded_file_count:
    .quad ${count}
    .section .note.GNU-stack,\"\",%progbits
")
  configure_file(${source}.new ${source} COPYONLY)
  set_source_files_properties(${source} PROPERTIES OBJECT_DEPENDS "${files}")
  add_library(${target} OBJECT ${source})
endfunction()
