# Runs one program with a file as its standard input and compares its standard output, byte for
# byte, with an expected file. Used by the transcript and end-to-end tests on every build; under
# the Windows build the program runs through wine (EMULATOR).
#   cmake -DPROGRAM=... [-DEMULATOR=...] [-DARGS=a;b] [-DINPUT=file] -DEXPECTED=file
#         -DACTUAL=file [-DEXPECT_EXIT=0] -P compare_output.cmake
# With -DEXPECTED_REGEX=... instead of EXPECTED, the output must match that expression.
if(NOT DEFINED EXPECT_EXIT)
  set(EXPECT_EXIT 0)
endif()
if(DEFINED INPUT AND NOT INPUT STREQUAL "")
  set(input_option INPUT_FILE "${INPUT}")
else()
  set(input_option INPUT_FILE /dev/null)
endif()
set(ENV{WINEDEBUG} "-all")
execute_process(
  COMMAND ${EMULATOR} "${PROGRAM}" ${ARGS}
  ${input_option}
  OUTPUT_FILE "${ACTUAL}"
  ERROR_VARIABLE errors
  RESULT_VARIABLE exit_code)
if(NOT exit_code STREQUAL "${EXPECT_EXIT}")
  message(FATAL_ERROR "${PROGRAM} exited with ${exit_code}, expected ${EXPECT_EXIT}\n${errors}")
endif()
if(DEFINED EXPECTED_REGEX)
  file(READ "${ACTUAL}" actual)
  if(NOT actual MATCHES "${EXPECTED_REGEX}")
    message(FATAL_ERROR "output does not match ${EXPECTED_REGEX}:\n${actual}")
  endif()
  return()
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${ACTUAL}" "${EXPECTED}"
                RESULT_VARIABLE differ)
if(differ)
  file(READ "${ACTUAL}" actual_hex HEX)
  file(READ "${EXPECTED}" expected_hex HEX)
  message(FATAL_ERROR "output differs from ${EXPECTED}\nactual:   ${actual_hex}\nexpected: ${expected_hex}")
endif()
