# Preprocesses one-line files that include a header each, with the include folders
# and definitions a library's own sources are compiled with, and checks that the
# headers the library builds on are found and that those of every other part of the
# source tree are not.
#
#   cmake -DCOMPILER=c++ -DLIBRARY=name -DINCLUDES=a|b -DDEFINES=x|y
#         -DREACHES=h|h -DREFUSES=h|h -DSOURCE=root -DWORK=folder -P CheckLayering.cmake
cmake_minimum_required(VERSION 3.22)

foreach(variable INCLUDES DEFINES REACHES REFUSES)
    string(REPLACE "|" ";" ${variable} "${${variable}}")
endforeach()

set(flags -std=c++17 -E -o -)
foreach(folder IN LISTS INCLUDES)
    list(APPEND flags "-I${folder}")
endforeach()
foreach(definition IN LISTS DEFINES)
    list(APPEND flags "-D${definition}")
endforeach()

# Outside the source tree, so that a quoted include cannot start from a source folder.
file(MAKE_DIRECTORY "${WORK}")
set(probe "${WORK}/${LIBRARY}-probe.cpp")
set(failures "")

foreach(header IN LISTS REACHES REFUSES)
    # A header that no longer exists would be refused for the wrong reason.
    if(NOT EXISTS "${SOURCE}/${header}" AND NOT EXISTS "${SOURCE}/tests/${header}")
        string(APPEND failures "  ${header} is not in the source tree: the check needs updating\n")
        continue()
    endif()
    file(WRITE "${probe}" "#include \"${header}\"\n")
    execute_process(COMMAND "${COMPILER}" ${flags} "${probe}"
        RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
    # gcc and clang word a missing header differently.
    string(REGEX MATCH "${header}(: No such file|' file not found)" missing "${errors}")

    if(header IN_LIST REACHES AND NOT result EQUAL 0)
        string(APPEND failures "  ${header} should be reachable, but:\n${errors}\n")
    elseif(header IN_LIST REFUSES AND (result EQUAL 0 OR NOT missing))
        string(APPEND failures "  ${header} should be out of reach (result ${result}):\n${errors}\n")
    elseif(header IN_LIST REACHES)
        message(STATUS "${LIBRARY} reaches ${header}")
    else()
        message(STATUS "${LIBRARY} cannot include ${header}")
    endif()
endforeach()

if(failures)
    message(FATAL_ERROR "${LIBRARY} breaks the layering:\n${failures}")
endif()
