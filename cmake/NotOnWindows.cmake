# The folders a Windows build leaves out, each with the reason: most need POSIX (Linux,
# macOS). Everything else (the engine, the windows, the updater, the demo build, the
# engine's and the windows' tests) builds everywhere.
set(UPDATER_NOT_ON_WINDOWS
    # Offers the pedal on virtual MIDI ports, which Windows' MIDI has not; waits for
    # SIGINT/SIGTERM with sigtimedwait.
    tools/pedal-sim
    # Child processes with fork, exec, wait4 and rusage; timer slack with prctl.
    bench
    # Not needed there: the committed screenshots are made on Linux.
    tools/screenshots
    # Starts and signals real updater processes (fork, exec, kill) under xvfb-run.
    tests/app
    # Shell scripts around the Linux demo build under xvfb-run; tests/windows has the
    # Windows demo build's runs.
    tests/e2e
    # The Debian package.
    tests/package
    # The Linux updater on a Linux VM's ALSA sequencer; tests/windows has the Windows
    # updater's run in the same VM.
    tests/alsa-vm
    # Reads threads and memory from /proc.
    tests/soak
    # setenv/unsetenv around the simulated pedal's settings, and pedal-sim's own tests.
    tests/pedal)

# add_subdirectory, except for the folders above in a Windows build.
function(updater_add_subdirectory folder)
    file(RELATIVE_PATH from_root "${PROJECT_SOURCE_DIR}" "${CMAKE_CURRENT_SOURCE_DIR}/${folder}")
    if(WIN32 AND from_root IN_LIST UPDATER_NOT_ON_WINDOWS)
        return()
    endif()
    add_subdirectory(${folder})
endfunction()
