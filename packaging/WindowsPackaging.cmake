# What a Windows user gets, built with CPack on the build machine:
#   firmware-updater-<version>-win64.exe  an installer (NSIS: makensis from Debian's nsis)
#                                         that puts the updater under Program Files, with a
#                                         Start-menu entry and an uninstaller;
#   firmware-updater-<version>-win64.zip  the same updater as one .exe, for those who do
#                                         not install.
# The version is the Debian packages' (UPDATER_PACKAGE_VERSION). Only the shipped updater
# is packed: the demo build and the test programs have no install rule.

# juce_add_gui_app lists the icon as a bundle resource, which only macOS bundles use; on
# Windows the icon is inside the .exe already.
set_property(TARGET FirmwareUpdater PROPERTY RESOURCE "")
install(TARGETS FirmwareUpdater RUNTIME DESTINATION . COMPONENT updater)
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION . RENAME LICENSE.txt COMPONENT updater)

set(CPACK_GENERATOR NSIS64 ZIP)
set(CPACK_PACKAGE_NAME firmware-updater)
set(CPACK_PACKAGE_VENDOR morvell)
set(CPACK_PACKAGE_VERSION "${UPDATER_PACKAGE_VERSION}")
set(CPACK_PACKAGE_FILE_NAME "firmware-updater-${UPDATER_PACKAGE_VERSION}-win64")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Firmware updater for the Verrano2 guitar pedal")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Firmware Updater")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Firmware Updater")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
# A release build's program is stripped already; stripping it again would stamp the
# time into it, and the installer's copy would differ from the zip's.
set(CPACK_STRIP_FILES OFF)
set(CPACK_COMPONENTS_ALL updater)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
# The zip holds the program itself, not a folder around it.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)

# The Start-menu entry "Firmware Updater" starts the program installed at the top of its
# folder; the uninstaller removes both.
set(CPACK_PACKAGE_EXECUTABLES firmware-updater "Firmware Updater")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_PACKAGE_NAME "Firmware Updater")
set(CPACK_NSIS_DISPLAY_NAME "Firmware Updater for the Verrano2 pedal")
set(CPACK_NSIS_INSTALLED_ICON_NAME firmware-updater.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MODIFY_PATH OFF)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# A 64-bit installer, like the program it installs: it also runs where only 64-bit
# Windows programs run (Wine without its 32-bit half, as on the build machine, where the
# tests install it). CPack's NSIS script makes a 32-bit one and this CMake has no setting
# for it, so CPack gets its own script with the target put first. The installer keeps no
# file's date (SetDateSave off): CPack writes some of the files it packs at packing time,
# and their dates would make each installer differ from the last.
file(READ "${CMAKE_ROOT}/Modules/Internal/CPack/NSIS.template.in" UPDATER_NSIS_TEMPLATE)
string(REPLACE "!define VERSION " "Target amd64-unicode
  SetDateSave off
  !define VERSION "
    UPDATER_NSIS_TEMPLATE "${UPDATER_NSIS_TEMPLATE}")
file(WRITE "${CMAKE_BINARY_DIR}/packaging/NSIS.template.in" "${UPDATER_NSIS_TEMPLATE}")
list(PREPEND CPACK_MODULE_PATH "${CMAKE_BINARY_DIR}/packaging")
# The icon juceaide made for the program's own resources.
get_target_property(UPDATER_GENERATED_SOURCES FirmwareUpdater JUCE_GENERATED_SOURCES_DIRECTORY)
if(EXISTS "${UPDATER_GENERATED_SOURCES}/icon.ico")
    set(CPACK_NSIS_MUI_ICON "${UPDATER_GENERATED_SOURCES}/icon.ico")
    set(CPACK_NSIS_MUI_UNIICON "${UPDATER_GENERATED_SOURCES}/icon.ico")
endif()

# The updater signed before it is packed and the installer after, when a certificate is
# given; the zip made independent of the packing machine and time
# (packaging/WindowsRelease.cmake).
set(CPACK_NSIS_URL_INFO_ABOUT "${UPDATER_HOMEPAGE}")
set(CPACK_UPDATER_PACKAGING_SOURCE "${CMAKE_CURRENT_LIST_DIR}")
set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/WindowsRelease.cmake")
set(CPACK_POST_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/WindowsRelease.cmake")

include(CPack)
