# Run by cpack for the Windows installer and zip, once before each is packed (as
# CPACK_PRE_BUILD_SCRIPTS) and once after (as CPACK_POST_BUILD_SCRIPTS, when CPack has set
# CPACK_PACKAGE_FILES).
#
# Before: the staged updater is signed with Authenticode when UPDATER_SIGNING_PKCS12 names
# a certificate (packaging/sign-windows.sh). The installer and the zip are staged apart:
# the updater is signed once and the same signed copy goes into both, since a timestamp
# server's answer differs from one signature to the next.
# After: the zip's dates (the build's), permissions and extra fields are made independent
# of the time zone and the packing machine (strip-nondeterminism), and the installer is
# signed.
set(sign "${CPACK_UPDATER_PACKAGING_SOURCE}/sign-windows.sh")
set(description "${CPACK_NSIS_DISPLAY_NAME}")
set(url "${CPACK_NSIS_URL_INFO_ABOUT}")

if(NOT DEFINED CPACK_PACKAGE_FILES)
    if(NOT "$ENV{UPDATER_SIGNING_PKCS12}" STREQUAL "")
        file(GLOB_RECURSE programs "${CPACK_TEMPORARY_DIRECTORY}/firmware-updater.exe")
        foreach(program IN LISTS programs)
            file(SHA256 "${program}" unsigned)
            set(signed "${CPACK_PACKAGE_DIRECTORY}/_CPack_Packages/signed-${unsigned}.exe")
            if(NOT EXISTS "${signed}")
                file(COPY_FILE "${program}" "${signed}.part")
                execute_process(COMMAND "${sign}" "${signed}.part" "${description}" "${url}"
                    COMMAND_ERROR_IS_FATAL ANY)
                file(RENAME "${signed}.part" "${signed}")
            endif()
            file(COPY_FILE "${signed}" "${program}")
        endforeach()
    endif()
    return()
endif()

foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(package MATCHES "\\.zip$")
        find_program(STRIP_NONDETERMINISM strip-nondeterminism)
        if(NOT STRIP_NONDETERMINISM)
            message(FATAL_ERROR "strip-nondeterminism is missing (scripts/windows.sh installs it)")
        endif()
        execute_process(COMMAND "${STRIP_NONDETERMINISM}" --type zip
                --timestamp "${CPACK_UPDATER_SOURCE_DATE_EPOCH}" "${package}"
            OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    elseif(package MATCHES "\\.exe$")
        get_filename_component(name "${package}" NAME)
        if(NOT "$ENV{UPDATER_SIGNING_PKCS12}" STREQUAL "")
            execute_process(COMMAND "${sign}" "${package}" "${description}" "${url}"
                COMMAND_ERROR_IS_FATAL ANY)
            message(STATUS "Signed ${name} and its updater with $ENV{UPDATER_SIGNING_PKCS12}")
        else()
            message(STATUS "Unsigned: ${name} and its updater (UPDATER_SIGNING_PKCS12 names no certificate)")
        endif()
    endif()
endforeach()
