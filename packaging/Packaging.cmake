# What `cmake --install` puts on a machine and how CPack packs it for Debian.
#
# Two components, each its own .deb:
#   updater  -> firmware-updater: the shipped updater, its man page, desktop entry,
#               icons and AppStream metadata
#   pedalsim -> firmware-updater-pedal-sim: the simulated pedal on virtual MIDI ports
# The demo build, the benchmark, the screenshot tool and the test programs have no
# install rule, so neither `cmake --install` nor CPack ever picks them up.
#
# Files that are made from a template or converted (man pages, changelog, desktop
# entry, metadata, PNG icons) are made at build time into build/packaging/.

set(UPDATER_HOMEPAGE "https://morvell.invalid/firmware-updater")

# Every package carries the build's date inside, not the time it was packed
# (cmake/Reproducible.cmake, packaging/CPackProjectConfig.cmake).
set(CPACK_UPDATER_SOURCE_DATE_EPOCH "${UPDATER_SOURCE_DATE_EPOCH}")
set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_CURRENT_LIST_DIR}/CPackProjectConfig.cmake")

# Windows has an installer and a zip of its own.
if(WIN32)
    include("${CMAKE_CURRENT_LIST_DIR}/WindowsPackaging.cmake")
    return()
endif()

include(GNUInstallDirs)

# Folders made by the install (and so inside the packages) are rwxr-xr-x whatever the
# packing user's umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(UPDATER_PACKAGING_SOURCE "${CMAKE_CURRENT_LIST_DIR}")
set(UPDATER_PACKAGING_BUILD "${PROJECT_BINARY_DIR}/packaging")
file(MAKE_DIRECTORY "${UPDATER_PACKAGING_BUILD}")

# The X11 window class of the updater's windows: JUCE names it after the application
# (Application::getApplicationName). The desktop entry's StartupWMClass must match it
# for a dock to put the running window under the menu entry; the package test checks
# the two against each other.
set(UPDATER_WINDOW_CLASS "Corvane by morvell")
set(UPDATER_APPSTREAM_ID "invalid.morvell.firmware_updater")
set(UPDATER_SCREENSHOTS_URL "${UPDATER_HOMEPAGE}/screenshots")

#===============================================================================
# The changelog names the packages' version: its newest entry must be the version
# the build makes, so that a new firmware (or updater) cannot go out without one.
file(STRINGS "${UPDATER_PACKAGING_SOURCE}/debian/changelog" changelog_lines)
list(GET changelog_lines 0 newest_entry)
if(NOT newest_entry MATCHES "^firmware-updater \\(([^)]+)\\) ")
    message(FATAL_ERROR "packaging/debian/changelog: the first line is not a Debian changelog entry")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL UPDATER_PACKAGE_VERSION)
    message(FATAL_ERROR "packaging/debian/changelog: the newest entry is ${CMAKE_MATCH_1}, the packages are "
        "${UPDATER_PACKAGE_VERSION}: add an entry for ${UPDATER_PACKAGE_VERSION} at the top")
endif()

# Each Debian release gets a package of its own, built there with that release's JUCE,
# compiler and libraries, and checked with its lintian: the package version is the
# packages' version plus "~debNN", NN the release's number. The two packages' files
# differ in name, and a machine moved from Debian 12 to 13 takes 13's as an upgrade.
set(UPDATER_DEBIAN_RELEASE "")
if(EXISTS /etc/os-release)
    file(STRINGS /etc/os-release os_release REGEX "^(ID|VERSION_ID)=")
    if("ID=debian" IN_LIST os_release AND os_release MATCHES "VERSION_ID=\"?([0-9]+)")
        set(UPDATER_DEBIAN_RELEASE "${CMAKE_MATCH_1}")
    endif()
endif()
set(UPDATER_DEBIAN_PACKAGE_VERSION "${UPDATER_PACKAGE_VERSION}")
if(UPDATER_DEBIAN_RELEASE)
    string(APPEND UPDATER_DEBIAN_PACKAGE_VERSION "~deb${UPDATER_DEBIAN_RELEASE}")
endif()

# The release date for the AppStream metadata, from the newest entry's trailer line.
foreach(line IN LISTS changelog_lines)
    if(line MATCHES "^ -- .*  [A-Z][a-z][a-z], ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
        set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
        list(FIND months "${CMAKE_MATCH_2}" month)
        math(EXPR month "${month} + 1")
        if(month LESS 10)
            set(month "0${month}")
        endif()
        set(UPDATER_RELEASE_DATE "${CMAKE_MATCH_3}-${month}-${CMAKE_MATCH_1}")
        break()
    endif()
endforeach()
if(NOT UPDATER_RELEASE_DATE)
    message(FATAL_ERROR "packaging/debian/changelog: the newest entry has no trailer line with its date")
endif()

set(UPDATER_PACKAGING_OUTPUTS "")

# updater_package_gzip(SOURCE NAME): SOURCE, with the build's values filled in, as
# build/packaging/NAME.gz, compressed as Debian wants it (best compression, no name
# and no time stamp inside, so the package comes out the same every time).
function(updater_package_gzip source name)
    set(filled "${UPDATER_PACKAGING_BUILD}/${name}")
    configure_file("${source}" "${filled}" @ONLY)
    add_custom_command(OUTPUT "${filled}.gz"
        COMMAND gzip -9 -n -f -k "${filled}"
        DEPENDS "${filled}"
        COMMENT "Compressing ${name}"
        VERBATIM)
    set(UPDATER_PACKAGING_OUTPUTS ${UPDATER_PACKAGING_OUTPUTS} "${filled}.gz" PARENT_SCOPE)
endfunction()

# updater_install_man_page(PAGE COMPONENT): a man page of section 1, compressed.
function(updater_install_man_page page component)
    get_filename_component(name "${page}" NAME)
    updater_package_gzip("${page}" "${name}")
    set(UPDATER_PACKAGING_OUTPUTS ${UPDATER_PACKAGING_OUTPUTS} PARENT_SCOPE)
    install(FILES "${UPDATER_PACKAGING_BUILD}/${name}.gz"
        DESTINATION "${CMAKE_INSTALL_MANDIR}/man1"
        COMPONENT ${component})
endfunction()

# The programs are linked with JUCE, whose licence changed with its major version
# (JUCE 7: GPLv3 for the window modules, ISC for the rest; JUCE 8: AGPLv3): each
# copyright file is the package's own part followed by that of the JUCE it is built with.
set(UPDATER_JUCE_COPYRIGHT "${UPDATER_PACKAGING_SOURCE}/debian/juce-${JUCE_VERSION_MAJOR}.copyright")
if(NOT EXISTS "${UPDATER_JUCE_COPYRIGHT}")
    message(FATAL_ERROR "packaging/debian has no copyright paragraphs for JUCE ${JUCE_VERSION_MAJOR} "
        "(juce-${JUCE_VERSION_MAJOR}.copyright): write them from the JUCE package's own copyright file")
endif()

# updater_install_package_docs(PACKAGE COMPONENT): the copyright file and the
# changelog every Debian package carries in /usr/share/doc/PACKAGE.
function(updater_install_package_docs package component)
    set(own "${UPDATER_PACKAGING_SOURCE}/debian/${package}.copyright")
    file(READ "${own}" own_part)
    file(READ "${UPDATER_JUCE_COPYRIGHT}" juce_part)
    file(CONFIGURE OUTPUT "${UPDATER_PACKAGING_BUILD}/${package}.copyright" CONTENT "${own_part}${juce_part}" @ONLY)
    set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
        "${own}" "${UPDATER_JUCE_COPYRIGHT}")
    install(FILES "${UPDATER_PACKAGING_BUILD}/${package}.copyright"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/${package}"
        RENAME copyright
        COMPONENT ${component})
    install(FILES "${UPDATER_PACKAGING_BUILD}/changelog.gz"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/${package}"
        COMPONENT ${component})
endfunction()

# The changelog's newest entry names the package's own version, release suffix included.
file(READ "${UPDATER_PACKAGING_SOURCE}/debian/changelog" changelog)
string(REPLACE "firmware-updater (${UPDATER_PACKAGE_VERSION}) " "firmware-updater (${UPDATER_DEBIAN_PACKAGE_VERSION}) "
    changelog "${changelog}")
file(CONFIGURE OUTPUT "${UPDATER_PACKAGING_BUILD}/changelog.in" CONTENT "${changelog}" @ONLY)
updater_package_gzip("${UPDATER_PACKAGING_BUILD}/changelog.in" changelog)

#===============================================================================
# A program, stripped (CPack strips what it installs) and without the compiler's
# .comment notes, which strip keeps and Debian's own packages leave out.
function(updater_install_program target file component)
    install(TARGETS ${target} RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT ${component})
    install(CODE "execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${file}\"
                  COMMAND_ERROR_IS_FATAL ANY)"
        COMPONENT ${component})
endfunction()

#===============================================================================
# The shipped updater.
updater_install_program(FirmwareUpdater firmware-updater updater)
updater_install_man_page("${UPDATER_PACKAGING_SOURCE}/firmware-updater.1" updater)
updater_install_package_docs(firmware-updater updater)
# What the release's lintian says of the updater that is not so, with the reason.
set(UPDATER_LINTIAN_OVERRIDES "${UPDATER_PACKAGING_SOURCE}/debian/deb${UPDATER_DEBIAN_RELEASE}/firmware-updater.lintian-overrides")
if(UPDATER_DEBIAN_RELEASE AND EXISTS "${UPDATER_LINTIAN_OVERRIDES}")
    install(FILES "${UPDATER_LINTIAN_OVERRIDES}"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/lintian/overrides"
        RENAME firmware-updater
        COMPONENT updater)
endif()

configure_file("${UPDATER_PACKAGING_SOURCE}/firmware-updater.desktop.in"
    "${UPDATER_PACKAGING_BUILD}/firmware-updater.desktop" @ONLY)
install(FILES "${UPDATER_PACKAGING_BUILD}/firmware-updater.desktop"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/applications"
    COMPONENT updater)

configure_file("${UPDATER_PACKAGING_SOURCE}/firmware-updater.metainfo.xml.in"
    "${UPDATER_PACKAGING_BUILD}/${UPDATER_APPSTREAM_ID}.metainfo.xml" @ONLY)
install(FILES "${UPDATER_PACKAGING_BUILD}/${UPDATER_APPSTREAM_ID}.metainfo.xml"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo"
    COMPONENT updater)

# The icon theme needs PNGs (SVG support is optional for a desktop); they are drawn
# from the one SVG at build time, so that the sizes never differ from it.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
install(FILES "${UPDATER_PACKAGING_SOURCE}/firmware-updater.svg"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps"
    COMPONENT updater)
foreach(size 48 256)
    set(png "${UPDATER_PACKAGING_BUILD}/icons/${size}x${size}/firmware-updater.png")
    add_custom_command(OUTPUT "${png}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${UPDATER_PACKAGING_BUILD}/icons/${size}x${size}"
        COMMAND "${RSVG_CONVERT}" --width ${size} --height ${size} --keep-aspect-ratio
            --output "${png}" "${UPDATER_PACKAGING_SOURCE}/firmware-updater.svg"
        DEPENDS "${UPDATER_PACKAGING_SOURCE}/firmware-updater.svg"
        COMMENT "Drawing the ${size}x${size} icon"
        VERBATIM)
    list(APPEND UPDATER_PACKAGING_OUTPUTS "${png}")
    install(FILES "${png}"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps"
        COMPONENT updater)
endforeach()

#===============================================================================
# The simulated pedal, when the tools are built.
set(UPDATER_PACKAGE_COMPONENTS updater)
if(TARGET pedal-sim)
    updater_install_program(pedal-sim pedal-sim pedalsim)
    updater_install_man_page("${UPDATER_PACKAGING_SOURCE}/pedal-sim.1" pedalsim)
    updater_install_package_docs(firmware-updater-pedal-sim pedalsim)
    list(APPEND UPDATER_PACKAGE_COMPONENTS pedalsim)
endif()

add_custom_target(packaging_files ALL DEPENDS ${UPDATER_PACKAGING_OUTPUTS})

#===============================================================================
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME firmware-updater)
set(CPACK_PACKAGE_VENDOR morvell)
set(CPACK_PACKAGE_VERSION "${UPDATER_DEBIAN_PACKAGE_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Firmware updater for the ${UPDATER_FIRMWARE_PRODUCT} guitar pedal")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL ${UPDATER_PACKAGE_COMPONENTS})

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "morvell <support@morvell.invalid>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${UPDATER_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The libraries the programs link come from dpkg-shlibdeps (dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# Extended descriptions: one string (a CMake list would put ';' into the text), lines
# of at most 80 characters (the control file indents each by one).
set(CPACK_DEBIAN_UPDATER_PACKAGE_NAME firmware-updater)
string(CONCAT CPACK_COMPONENT_UPDATER_DESCRIPTION
    "Installs firmware ${UPDATER_FIRMWARE_VERSION} (R${UPDATER_FIRMWARE_REVISION}) on a ${UPDATER_FIRMWARE_PRODUCT} guitar pedal in its boot loader.\n"
    "The updater finds the pedal among the USB MIDI ports by itself and sends the\n"
    "firmware image it carries. Run with --autoupdate for an unattended update.")
# JUCE opens the X11 libraries at run time (dlopen), so dpkg-shlibdeps cannot see
# them; it finds its fonts through fontconfig's configuration file.
set(CPACK_DEBIAN_UPDATER_PACKAGE_DEPENDS
    "libx11-6, libxext6, libxcursor1, libxinerama1, libxrandr2, fontconfig-config, fonts-dejavu-core | fonts-liberation")
# Only used to keep the screen saver away during an update.
set(CPACK_DEBIAN_UPDATER_PACKAGE_RECOMMENDS libxss1)

set(CPACK_DEBIAN_PEDALSIM_PACKAGE_NAME firmware-updater-pedal-sim)
set(CPACK_DEBIAN_PEDALSIM_PACKAGE_SECTION devel)
string(CONCAT CPACK_COMPONENT_PEDALSIM_DESCRIPTION
    "Simulated ${UPDATER_FIRMWARE_PRODUCT} pedal for trying the updater without the device.\n"
    "pedal-sim offers the pedal's MIDI ports on the ALSA sequencer, answers like\n"
    "the pedal's boot loader and can play the faults of a real setup.")

include(CPack)
