# SPDX-License-Identifier: GPL-3.0-or-later
# Formats the manual page PAGE with every groff warning on; any message fails.
find_program(GROFF groff REQUIRED)
execute_process(COMMAND ${GROFF} -man -ww -z ${PAGE}
    RESULT_VARIABLE result OUTPUT_VARIABLE messages ERROR_VARIABLE messages)
if(NOT result EQUAL 0 OR NOT messages STREQUAL "")
    message(FATAL_ERROR "groff on ${PAGE} (status ${result}):\n${messages}")
endif()
