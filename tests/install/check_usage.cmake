# PROGRAM with an option it does not know says so and exits 1, having looked
# at every word it was given.
execute_process(COMMAND ${PROGRAM} --no-such-option RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc STREQUAL "1" OR NOT err MATCHES "Unknown option 'no-such-option'")
  message(FATAL_ERROR "${PROGRAM} --no-such-option: exit ${rc}, said '${err}'")
endif()
