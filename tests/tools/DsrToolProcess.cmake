# dsrtool as a process (under the emulator in the Windows build): what the in-process tests cannot
# see, the arguments and standard input as the program's main hands them over and the status it exits
# with. A UTF-16 description on standard input holds bytes that a text-mode read would take for
# Ctrl-Z and CR LF, so it loads only when read as bytes.
#   cmake -DDSRTOOL=exe [-DEMULATOR=wine] -DFIXTURES=folder -DSCRATCH=folder -P DsrToolProcess.cmake

# Runs dsrtool with `args` (a list), standard input from `input` when not empty; fails unless it exits
# with `status` and its standard output and error match `pattern`.
function(expect_run status pattern input)
  set(input_option)
  if(input)
    set(input_option INPUT_FILE ${input})
  endif()
  execute_process(COMMAND ${EMULATOR} ${DSRTOOL} ${ARGN} ${input_option}
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL status OR NOT "${out}${err}" MATCHES "${pattern}")
    message(FATAL_ERROR "dsrtool ${ARGN}: exit ${result} (expected ${status}), output:\n${out}${err}\n(expected to match ${pattern})")
  endif()
endfunction()

file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH})
set(utf16 ${FIXTURES}/utf16.dsr)
expect_run(0 "^\\(standard input\\): DeviceSeries 3\\.3\\.0\\.0, 0 models" ${utf16} check -)
expect_run(0 "\"strVersion\": \"3\\.3\\.0\\.0\"" ${utf16} dump -)
expect_run(2 "unknown subcommand 'bogus'; the subcommands are check, dump, resave, merge, diff" "" bogus)
expect_run(0 "^$" "" diff ${utf16} ${utf16})
expect_run(2 "dsrtool: [^\n]*absent\\.dsr: " "" diff ${utf16} ${SCRATCH}/absent.dsr)
# A name outside the ANSI code page reaches the program whole.
set(named "${SCRATCH}/Médium ✓ ユーザー.dsr")
expect_run(0 "" "" resave ${utf16} ${named})
expect_run(0 "Médium ✓ ユーザー\\.dsr: DeviceSeries 3\\.3\\.0\\.0" "" check ${named})
file(REMOVE_RECURSE ${SCRATCH})
