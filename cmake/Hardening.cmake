# The Linux programs get the hardening Debian builds its own packages with: fortified
# C library calls (checked sizes where the compiler knows them) and a relocation table
# bound at start and then made read-only. Not in the sanitizer builds, which bring
# checks of their own and compile parts of JUCE unoptimised (fortification needs an
# optimised build), nor on Windows, whose MinGW runtime has no such checks.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND UPDATER_SANITIZE STREQUAL "")
    add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
    add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
