# The program's layering, stated by the build.
#
# Every component folder is a static library that names the components it builds on.
# Its headers reach other targets only through a folder of the build tree that holds
# that one component (build/include/<library>/<folder>, a link to the source folder),
# passed on as the library's include folder. A file therefore sees the headers of
# the libraries its target links and nothing else of the source tree: the updater's
# own code cannot include the simulated pedal, the tests or the tools, and a
# component cannot include one it does not declare.

# updater_expose_folder(TARGET PUBLIC|PRIVATE|INTERFACE FOLDER)
# Makes `#include "FOLDER/Header.h"` work for TARGET (and, unless PRIVATE, for
# whoever links it) for the headers of FOLDER, a folder of the source tree.
function(updater_expose_folder target scope folder)
    set(root "${PROJECT_BINARY_DIR}/include/${target}")
    set(link "${root}/${folder}")
    get_filename_component(parent "${link}" DIRECTORY)
    file(MAKE_DIRECTORY "${parent}")
    file(CREATE_LINK "${PROJECT_SOURCE_DIR}/${folder}" "${link}" SYMBOLIC)
    target_include_directories(${target} ${scope} "${root}")
endfunction()

# updater_add_component(NAME FOLDER folder SOURCES ... [USES libraries...] [USES_PRIVATELY libraries...])
# A component library: its sources, its own headers for its users, the components
# its headers build on (USES, passed on) and those only its sources need
# (USES_PRIVATELY, linked but not passed on). Every component builds on JUCE.
function(updater_add_component name)
    cmake_parse_arguments(C "" "FOLDER" "SOURCES;USES;USES_PRIVATELY" ${ARGN})
    add_library(${name} STATIC ${C_SOURCES})
    updater_expose_folder(${name} PUBLIC "${C_FOLDER}")
    target_link_libraries(${name} PUBLIC juce_lib ${C_USES} PRIVATE ${C_USES_PRIVATELY} updater_warnings)
    set_property(GLOBAL APPEND PROPERTY UPDATER_COMPONENTS ${name})
endfunction()
