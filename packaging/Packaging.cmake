# What `cmake --install` puts on a machine and how CPack packs it for Debian.
#
# Two components, each its own .deb:
#   updater  -> firmware-updater: the shipped updater, its desktop entry and icon
#   pedalsim -> firmware-updater-pedal-sim: the simulated pedal on virtual MIDI ports
# The demo build, the benchmark, the screenshot tool and the test programs have no
# install rule, so neither `cmake --install` nor CPack ever picks them up.

# Windows has an installer and a zip of its own.
if(WIN32)
    include("${CMAKE_CURRENT_LIST_DIR}/WindowsPackaging.cmake")
    return()
endif()

include(GNUInstallDirs)

install(TARGETS FirmwareUpdater
    RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}"
    COMPONENT updater)
install(FILES "${CMAKE_CURRENT_LIST_DIR}/firmware-updater.desktop"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/applications"
    COMPONENT updater)
install(FILES "${CMAKE_CURRENT_LIST_DIR}/firmware-updater.svg"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps"
    COMPONENT updater)
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/firmware-updater"
    RENAME copyright
    COMPONENT updater)

set(UPDATER_PACKAGE_COMPONENTS updater)
if(TARGET pedal-sim)
    install(TARGETS pedal-sim
        RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}"
        COMPONENT pedalsim)
    install(FILES "${PROJECT_SOURCE_DIR}/LICENSE"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/firmware-updater-pedal-sim"
        RENAME copyright
        COMPONENT pedalsim)
    list(APPEND UPDATER_PACKAGE_COMPONENTS pedalsim)
endif()

#===============================================================================
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME firmware-updater)
set(CPACK_PACKAGE_VENDOR morvell)
set(CPACK_PACKAGE_VERSION "${UPDATER_PACKAGE_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Firmware updater for the Verrano2 guitar pedal")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL ${UPDATER_PACKAGE_COMPONENTS})

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "morvell <support@morvell.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The libraries the programs link come from dpkg-shlibdeps (dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_UPDATER_PACKAGE_NAME firmware-updater)
set(CPACK_COMPONENT_UPDATER_DESCRIPTION
    "Installs firmware 1.2.00 (R1222) on a Verrano2 guitar pedal in its boot loader.\n"
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
set(CPACK_COMPONENT_PEDALSIM_DESCRIPTION
    "Simulated Verrano2 pedal for trying the updater without the device.\n"
    "pedal-sim offers the pedal's MIDI ports on the ALSA sequencer, answers like the\n"
    "pedal's boot loader and can play the faults of a real setup.")

include(CPack)
