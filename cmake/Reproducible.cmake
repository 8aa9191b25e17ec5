# The same sources give the same programs, whatever the build folder and whenever they
# are built, so that anyone can rebuild a release and compare it byte for byte.
#
# The build's date is the packages' (Debian's SOURCE_DATE_EPOCH convention): the newest
# entry of packaging/debian/changelog, or the last commit's when dpkg-parsechangelog is
# missing; a SOURCE_DATE_EPOCH in the environment at configure time wins. The compiler
# gets it for __DATE__ and __TIME__ (JUCE's Time::getCompilationDate uses them), CPack
# for the dates inside the packages (packaging/Packaging.cmake).
#
# Paths of the source and build folders are written as "." and "build" into the debug
# information and into __FILE__, so that neither the programs nor their build IDs
# depend on where the sources were. The compiler cache keeps working across folders:
# ccache compares these options with its base folder taken out.
set(UPDATER_CHANGELOG "${PROJECT_SOURCE_DIR}/packaging/debian/changelog")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${UPDATER_CHANGELOG}")
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(UPDATER_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
    execute_process(COMMAND dpkg-parsechangelog -l "${UPDATER_CHANGELOG}" -STimestamp
        OUTPUT_VARIABLE UPDATER_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE status ERROR_QUIET)
    if(NOT status EQUAL 0)
        execute_process(COMMAND git -C "${PROJECT_SOURCE_DIR}" log -1 --format=%ct
            OUTPUT_VARIABLE UPDATER_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
            RESULT_VARIABLE status ERROR_QUIET)
    endif()
endif()
if(NOT UPDATER_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    message(FATAL_ERROR "No build date: neither dpkg-parsechangelog nor git could date "
        "${UPDATER_CHANGELOG}; set SOURCE_DATE_EPOCH")
endif()

# The compiler runs through `cmake -E env` with the date set, and through ccache when
# there is one.
set(UPDATER_COMPILER_LAUNCHER "${CMAKE_COMMAND}" -E env "SOURCE_DATE_EPOCH=${UPDATER_SOURCE_DATE_EPOCH}")
find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
    list(APPEND UPDATER_COMPILER_LAUNCHER "${CCACHE_PROGRAM}")
endif()
set(CMAKE_C_COMPILER_LAUNCHER ${UPDATER_COMPILER_LAUNCHER})
set(CMAKE_CXX_COMPILER_LAUNCHER ${UPDATER_COMPILER_LAUNCHER})

# The build folder's map comes last, so that it wins where the build folder lies inside
# the source folder.
add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}=."
                    "-ffile-prefix-map=${PROJECT_BINARY_DIR}=build")
