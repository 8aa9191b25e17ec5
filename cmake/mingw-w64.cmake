# Cross-builds the updater for 64-bit Windows with Debian's MinGW-w64 (posix thread
# model, which std::thread and std::mutex need), as static programs that run without
# any DLL beside them. scripts/windows.sh configures with it:
#
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DUPDATER_MINGW_DEPS=<prefix from scripts/mingw-deps.sh>
#
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(UPDATER_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${UPDATER_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${UPDATER_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${UPDATER_MINGW_TRIPLET}-windres)

# libpng and libjpeg-turbo, built for MinGW by scripts/mingw-deps.sh; zlib comes from
# Debian's libz-mingw-w64-dev under the MinGW root.
set(UPDATER_MINGW_DEPS "" CACHE PATH "Install prefix of libpng and libjpeg-turbo built for MinGW")

set(CMAKE_FIND_ROOT_PATH /usr/${UPDATER_MINGW_TRIPLET} ${UPDATER_MINGW_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static archives only: an import library (.dll.a) would make the program need its DLL.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)

# Debian's JUCE package lives outside the MinGW root; its CMake helpers run on the
# build machine (juceaide is the host's prebuilt one).
if(NOT JUCE_DIR)
    file(GLOB UPDATER_JUCE_CONFIG_DIRS /usr/lib/*/cmake/JUCE-*)
    list(GET UPDATER_JUCE_CONFIG_DIRS 0 JUCE_DIR)
    set(JUCE_DIR "${JUCE_DIR}" CACHE PATH "Debian's JUCE CMake package")
endif()

# The C++ runtime, libgcc and winpthreads linked in, so that Windows (and Wine) need
# no libstdc++-6.dll, libgcc_s_seh-1.dll or libwinpthread-1.dll beside the program. No
# link time in the program's header, so that the same sources give the same .exe; a
# release build is stripped as it is linked (a later strip would stamp the time in).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
# -O2 as in the Linux build, rather than CMake's -O3 for release builds, which costs more
# compile time for no gain in a program that mostly waits.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of a release build")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags of a release build")

# CTest and gtest_discover_tests run the .exe files through Wine, in a Wine prefix
# that belongs to this build folder.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/../tests/windows/wine-run.sh;--prefix;${CMAKE_BINARY_DIR}/wine-prefix")
