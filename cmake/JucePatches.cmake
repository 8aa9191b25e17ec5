# Fixes to Debian's JUCE sources that the updater cannot make from outside the
# framework, each a patch in cmake/juce-patches/ applied to a copy of the module
# in the build tree. Only the module's own sources (its unity files) are compiled
# from the copy; every header still comes from the installed JUCE, and the patches
# change nothing that a header declares, so all code sees one framework.
#
# linux-idle-window-timer.patch (juce_gui_basics): on Linux every window runs a
# timer at the display's refresh rate for as long as it exists (100 Hz where the
# display reports none, as Xvfb does) only to hand pending repaints to the X
# server, so an idle updater woke 200 times a second (timer and message thread)
# and spent more than 1 % of a core doing nothing. The patch stops the timer while
# the window has nothing to draw and starts it again on the next repaint.

# updater_patch_juce_module(MODULE PATCH...)
function(updater_patch_juce_module module)
    get_target_property(sources ${module} INTERFACE_SOURCES)
    list(GET sources 0 first_source)
    get_filename_component(original "${first_source}" DIRECTORY)
    if(NOT EXISTS "${original}/${module}.h")
        message(FATAL_ERROR "cannot find the sources of JUCE's ${module} (looked in ${original})")
    endif()

    set(copy_root "${PROJECT_BINARY_DIR}/juce-patched")
    set(copy "${copy_root}/${module}")

    # Redo the copy whenever a patch or the installed module changes.
    set(fingerprint "")
    foreach(patch IN LISTS ARGN)
        file(SHA256 "${patch}" hash)
        string(APPEND fingerprint "${hash};")
    endforeach()
    file(GLOB_RECURSE module_files RELATIVE "${original}" "${original}/*")
    list(SORT module_files)
    foreach(file IN LISTS module_files)
        file(TIMESTAMP "${original}/${file}" stamp "%s" UTC)
        string(APPEND fingerprint "${file}@${stamp};")
    endforeach()
    string(SHA256 fingerprint "${fingerprint}")

    set(stamp_file "${copy_root}/${module}.stamp")
    set(old_fingerprint "")
    if(EXISTS "${stamp_file}")
        file(READ "${stamp_file}" old_fingerprint)
    endif()

    if(NOT old_fingerprint STREQUAL fingerprint)
        file(REMOVE_RECURSE "${copy}" "${stamp_file}")
        file(COPY "${original}" DESTINATION "${copy_root}")
        find_program(PATCH_PROGRAM patch REQUIRED)
        foreach(patch IN LISTS ARGN)
            execute_process(
                COMMAND "${PATCH_PROGRAM}" -p1 --forward --batch --silent -d "${copy_root}" -i "${patch}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
            if(NOT result EQUAL 0)
                message(FATAL_ERROR "${patch} does not apply to JUCE's ${module} in ${original}:\n${output}"
                                    "A new JUCE may have fixed what it fixes: check, then update or drop the patch.")
            endif()
        endforeach()
        file(WRITE "${stamp_file}" "${fingerprint}")
    endif()

    # The module's sources from the copy; its headers stay where they were.
    set(patched_sources "")
    foreach(source IN LISTS sources)
        string(REPLACE "${original}/" "${copy}/" source "${source}")
        list(APPEND patched_sources "${source}")
    endforeach()
    set_property(TARGET ${module} PROPERTY INTERFACE_SOURCES "${patched_sources}")
    set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ARGN})
endfunction()

updater_patch_juce_module(juce_gui_basics
    "${CMAKE_CURRENT_LIST_DIR}/juce-patches/linux-idle-window-timer.patch")
