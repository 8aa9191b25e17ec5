# The folders that build only on some systems, each with the reason. Everything else (the
# engine, the windows, the updater, the demo build, the engine's and the windows' tests)
# builds on Linux, Windows and macOS.

# Linux only: left out of Windows and macOS builds.
set(UPDATER_LINUX_ONLY
    # Waits for SIGINT/SIGTERM with sigtimedwait (neither Windows nor macOS has it); offers
    # the pedal on virtual MIDI ports, which Windows' MIDI has not.
    tools/pedal-sim
    # Timer slack with prctl, threads and memory from /proc; child processes with fork,
    # exec and wait4.
    bench
    # Not needed elsewhere: the committed screenshots are made on Linux.
    tools/screenshots
    # Real updater processes (fork, exec, kill), each in a virtual X server (xvfb-run).
    tests/app
    # Shell scripts around the Linux demo build under xvfb-run; tests/windows has the
    # Windows demo build's runs.
    tests/e2e
    # The Debian package.
    tests/package
    # The build's layering and the README's commands: the same on every system, checked
    # once, in the Linux build that the README's commands use.
    tests/layering
    tests/docs
    # The Linux updater on a Linux VM's ALSA sequencer; tests/windows has the Windows
    # updater's run in the same VM.
    tests/alsa-vm
    # Reads threads and memory from /proc.
    tests/soak)

# POSIX only: left out of Windows builds.
set(UPDATER_POSIX_ONLY
    # setenv/unsetenv around the simulated pedal's settings, and pedal-sim's own tests.
    tests/pedal)

# add_subdirectory, except for the folders above where they do not build.
function(updater_add_subdirectory folder)
    file(RELATIVE_PATH from_root "${PROJECT_SOURCE_DIR}" "${CMAKE_CURRENT_SOURCE_DIR}/${folder}")
    if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux" AND from_root IN_LIST UPDATER_LINUX_ONLY)
        return()
    endif()
    if(WIN32 AND from_root IN_LIST UPDATER_POSIX_ONLY)
        return()
    endif()
    add_subdirectory(${folder})
endfunction()
