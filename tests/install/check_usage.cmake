# PROGRAM with an option it does not know says so and exits 1, having looked
# at every word it was given.
execute_process(COMMAND ${PROGRAM} --no-such-option RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc STREQUAL "1" OR NOT err MATCHES "Unknown option 'no-such-option'")
  message(FATAL_ERROR "${PROGRAM} --no-such-option: exit ${rc}, said '${err}'")
endif()

# With --simulate it starts its simulated controller and stays up, waiting
# for the user, until it is ended.
execute_process(COMMAND ${PROGRAM} --simulate TIMEOUT 2 RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc MATCHES "timeout" OR NOT err MATCHES "Simulated Korvex-PLC on ")
  message(FATAL_ERROR "${PROGRAM} --simulate: ended by itself (${rc}), said '${err}'")
endif()

# Pictures that cannot be written end in failure, not in success.
execute_process(COMMAND ${PROGRAM} --screenshots /proc/no-such-folder RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc STREQUAL "1" OR NOT err MATCHES "cannot make /proc/no-such-folder")
  message(FATAL_ERROR "${PROGRAM} --screenshots into /proc: exit ${rc}, said '${err}'")
endif()
