# PROGRAM --version prints EXPECTED ("tarvelin-cli 1.0") and succeeds.
execute_process(COMMAND ${PROGRAM} --version OUTPUT_VARIABLE out RESULT_VARIABLE rc
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT rc EQUAL 0 OR NOT out STREQUAL EXPECTED)
  message(FATAL_ERROR "${PROGRAM} --version: exit ${rc}, printed '${out}', expected '${EXPECTED}'")
endif()
