# SPDX-License-Identifier: GPL-3.0-or-later
# Runs one program (under the emulator, when given) in a folder and checks
# its exit code and what it printed.
#   -DEMULATOR=... -DPROGRAM=... -DARGS="a;b" -DWORKING_DIRECTORY=...
#   -DEXPECT_EXIT=N -DEXPECT_OUTPUT=regex
separate_arguments(ARGS UNIX_COMMAND "${ARGS}")
execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${ARGS}
                WORKING_DIRECTORY ${WORKING_DIRECTORY}
                RESULT_VARIABLE exit_code OUTPUT_VARIABLE output ERROR_VARIABLE errors)
message("${output}${errors}")
if(NOT exit_code STREQUAL EXPECT_EXIT)
  message(FATAL_ERROR "exit code ${exit_code}, expected ${EXPECT_EXIT}")
endif()
if(NOT "${output}${errors}" MATCHES "${EXPECT_OUTPUT}")
  message(FATAL_ERROR "the output does not match: ${EXPECT_OUTPUT}")
endif()
