# Read by cpack before each of its generators runs. The packages carry the build's date
# (cmake/Reproducible.cmake) as the date of every file and archive member inside them,
# not the time they were packed: CPack's DEB generator takes it from SOURCE_DATE_EPOCH,
# and so do the steps of packaging/WindowsRelease.cmake.
set(ENV{SOURCE_DATE_EPOCH} "${CPACK_UPDATER_SOURCE_DATE_EPOCH}")
