# Runs pedal-sim with a command-line argument that is not well-formed UTF-8 and
# expects it to refuse that argument at once (exit 2, before any port exists), on
# any system, with or without a MIDI sequencer.
string(ASCII 249 122 malformed)

execute_process(
    COMMAND "${PEDAL_SIM}" "--name=Verrano2${malformed}"
    RESULT_VARIABLE exit_code
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
    TIMEOUT 30)

set(expected "pedal-sim: argument 1 is not valid UTF-8 text")
string(FIND "${err}" "${expected}" position)

if(NOT exit_code EQUAL 2 OR position EQUAL -1)
    message(FATAL_ERROR "pedal-sim exited with '${exit_code}', expected 2 and '${expected}'\nstdout: ${out}\nstderr: ${err}")
endif()
