# Runs pedal-sim where the system offers no ALSA sequencer and expects its one
# explanatory line and a non-zero exit. Skipped where a sequencer exists.
if(EXISTS "/dev/snd/seq")
    message("SKIPPED: a MIDI sequencer is present")
    return()
endif()

execute_process(
    COMMAND "${PEDAL_SIM}" --config "ack=late:400,lose-block=17"
    RESULT_VARIABLE exit_code
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
    TIMEOUT 30)

set(expected "pedal-sim: this system offers no virtual MIDI ports (no ALSA sequencer)")
string(FIND "${err}" "${expected}" position)

if(exit_code EQUAL 0 OR NOT exit_code MATCHES "^[0-9]+$")
    message(FATAL_ERROR "pedal-sim exited with '${exit_code}', expected a non-zero exit code\n${out}${err}")
endif()
if(position EQUAL -1)
    message(FATAL_ERROR "pedal-sim did not say '${expected}'\nstdout: ${out}\nstderr: ${err}")
endif()
