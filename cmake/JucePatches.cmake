# Fixes to Debian's JUCE sources that the updater cannot make from outside the
# framework, each a patch applied to a copy of the module in the build tree. Only the
# module's own sources (its unity files) are compiled from the copy; every header still
# comes from the installed JUCE, and the patches change nothing that a header declares,
# so all code sees one framework.
#
# The patches are made for the JUCE of each Debian release the updater is built on,
# one folder per JUCE version in cmake/juce-patches/: 7.0.5 (Debian 12) and 8.0.6
# (Debian 13). The updater's code builds unchanged with both; this is the one place
# where the build treats them differently (their licences, a packaging matter, are
# in packaging/debian/juce-*.copyright).
#
# - A JUCE with a folder of its own: its patches must apply, or configuring fails (the
#   test command builds on both releases, so it insists that they do).
# - Another JUCE: the patches of the newest folder of the same major version are tried;
#   where they do not apply (or there is none), the build goes on unpatched and
#   configuring warns what is lost.
#
# linux-idle-window-timer.patch (juce_gui_basics): on Linux every window runs a
# timer at the display's refresh rate for as long as it exists (100 Hz where the
# display reports none, as Xvfb does) only to hand pending repaints to the X
# server, so an idle updater woke 200 times a second (timer and message thread)
# and spent more than 1 % of a core doing nothing. The patch stops the timer while
# the window has nothing to draw and starts it again on the next repaint.

# updater_patch_juce_module(MODULE REQUIRED|OPTIONAL RESULT PATCH...): RESULT is set to
# TRUE when the module is compiled from its patched copy.
function(updater_patch_juce_module module mode result)
    set(${result} FALSE PARENT_SCOPE)
    set(patches ${ARGN})
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
    foreach(patch IN LISTS patches)
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
    set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${patches})

    if(NOT old_fingerprint STREQUAL fingerprint)
        file(REMOVE_RECURSE "${copy}" "${stamp_file}")
        file(COPY "${original}" DESTINATION "${copy_root}")
        find_program(PATCH_PROGRAM patch REQUIRED)
        foreach(patch IN LISTS patches)
            execute_process(
                COMMAND "${PATCH_PROGRAM}" -p1 --forward --batch --silent -d "${copy_root}" -i "${patch}"
                RESULT_VARIABLE patch_result OUTPUT_VARIABLE output ERROR_VARIABLE output)
            if(NOT patch_result EQUAL 0)
                if(mode STREQUAL "REQUIRED")
                    message(FATAL_ERROR "${patch} does not apply to JUCE's ${module} in ${original}:\n${output}"
                                        "Debian's JUCE ${JUCE_VERSION} has changed: update the patch.")
                endif()
                file(REMOVE_RECURSE "${copy}")
                return()
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
    set(${result} TRUE PARENT_SCOPE)
endfunction()

# The folder of patches for the installed JUCE: its own, else the newest of its major
# version (tried, not insisted on).
set(juce_patch_root "${CMAKE_CURRENT_LIST_DIR}/juce-patches")
set(juce_patch_mode REQUIRED)
set(juce_patch_folder "${juce_patch_root}/${JUCE_VERSION}")
if(NOT IS_DIRECTORY "${juce_patch_folder}")
    set(juce_patch_mode OPTIONAL)
    set(juce_patch_folder "")
    file(GLOB juce_patch_versions RELATIVE "${juce_patch_root}" "${juce_patch_root}/*")
    list(SORT juce_patch_versions COMPARE NATURAL ORDER DESCENDING)
    string(REGEX MATCH "^[0-9]+" juce_major "${JUCE_VERSION}")
    foreach(version IN LISTS juce_patch_versions)
        if(version MATCHES "^${juce_major}\\.")
            set(juce_patch_folder "${juce_patch_root}/${version}")
            break()
        endif()
    endforeach()
endif()

set(juce_idle_window_patched FALSE)
if(juce_patch_folder)
    updater_patch_juce_module(juce_gui_basics ${juce_patch_mode} juce_idle_window_patched
        "${juce_patch_folder}/linux-idle-window-timer.patch")
endif()
if(juce_idle_window_patched)
    message(STATUS "JUCE ${JUCE_VERSION}: juce_gui_basics patched (${juce_patch_folder})")
else()
    message(WARNING "JUCE ${JUCE_VERSION} is none of the releases the updater's JUCE patches are made for "
        "(cmake/juce-patches/), and none of them applies: building with JUCE unpatched. Lost: on Linux an "
        "idle window then wakes the updater at the display's rate, about 1 % of a core instead of 0.05 % "
        "(linux-idle-window-timer.patch); the updater works as before. Make the patches for this JUCE.")
endif()
