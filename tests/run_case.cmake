# Runs one whole-program case of mendrik or mendrik-survey (named by
# MENDRIK): cmake -DMENDRIK=... -DCASE_DIR=... -DWORK_DIR=...
# [-DEMULATOR=...], the last to run a cross-compiled MENDRIK (under Wine).
#
# A case folder holds:
#   args          the arguments, one a line (input.unf and output.unf name the
#                 files inside the work folder)
#   input.unf     the source, copied in first (optional)
#   stdin.unf     standard input (optional; else none)
#   stdout, stderr, status    what the run must print and return, exactly
#   expected.unf  what output.unf must hold; without it, no output.unf may exist
# The source must come out of every run byte for byte as it went in.

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
if(EXISTS ${CASE_DIR}/input.unf)
  file(COPY ${CASE_DIR}/input.unf DESTINATION ${WORK_DIR})
endif()
set(args)
if(EXISTS ${CASE_DIR}/args)
  file(STRINGS ${CASE_DIR}/args args)
endif()

set(input /dev/null)
if(EXISTS ${CASE_DIR}/stdin.unf)
  set(input ${CASE_DIR}/stdin.unf)
endif()
execute_process(COMMAND ${EMULATOR} ${MENDRIK} ${args}
                WORKING_DIRECTORY ${WORK_DIR}
                INPUT_FILE ${input}
                OUTPUT_FILE ${WORK_DIR}/actual.stdout
                ERROR_FILE ${WORK_DIR}/actual.stderr
                RESULT_VARIABLE status)

set(failures "")
macro(expect_same_bytes what expected actual)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files
                          ${expected} ${actual}
                  RESULT_VARIABLE differ)
  if(differ)
    file(READ ${expected} expected_hex HEX)
    if(EXISTS ${actual})
      file(READ ${actual} actual_hex HEX)
    else()
      set(actual_hex "(missing)")
    endif()
    string(APPEND failures
           "${what} differs\n  expected: ${expected_hex}\n  actual:   ${actual_hex}\n")
  endif()
endmacro()

file(READ ${CASE_DIR}/status expected_status)
string(STRIP "${expected_status}" expected_status)
if(NOT "${status}" STREQUAL "${expected_status}")
  string(APPEND failures "status ${status}, expected ${expected_status}\n")
endif()
expect_same_bytes(stdout ${CASE_DIR}/stdout ${WORK_DIR}/actual.stdout)
expect_same_bytes(stderr ${CASE_DIR}/stderr ${WORK_DIR}/actual.stderr)
if(EXISTS ${CASE_DIR}/expected.unf)
  expect_same_bytes(output.unf ${CASE_DIR}/expected.unf ${WORK_DIR}/output.unf)
elseif(EXISTS ${WORK_DIR}/output.unf)
  string(APPEND failures "output.unf was created\n")
endif()
if(EXISTS ${CASE_DIR}/input.unf)
  expect_same_bytes("source after the run" ${CASE_DIR}/input.unf
                    ${WORK_DIR}/input.unf)
endif()

if(failures)
  message(FATAL_ERROR "${failures}")
endif()
