# JUCE's modules, compiled once into one static library that the application,
# the tools and the tests all link. The modules are linked PRIVATE (so their
# sources are compiled here and nowhere else); their definitions and include
# folders are passed on to whoever links the library.

set(UPDATER_JUCE_MODULES
    juce_core
    juce_events
    juce_data_structures
    juce_graphics
    juce_gui_basics
    juce_audio_basics
    juce_audio_devices)

include("${CMAKE_CURRENT_LIST_DIR}/JucePatches.cmake")

add_library(juce_lib STATIC)

foreach(module IN LISTS UPDATER_JUCE_MODULES)
    target_link_libraries(juce_lib PRIVATE juce::${module})
    target_compile_definitions(juce_lib
        INTERFACE $<TARGET_PROPERTY:juce::${module},INTERFACE_COMPILE_DEFINITIONS>)
    target_include_directories(juce_lib
        INTERFACE $<TARGET_PROPERTY:juce::${module},INTERFACE_INCLUDE_DIRECTORIES>)
endforeach()

target_link_libraries(juce_lib PUBLIC juce::juce_recommended_config_flags)

# The system libraries differ by platform. The modules bring their own Windows and macOS
# libraries and frameworks; Debian's JUCE has its bundled zlib, libpng and libjpeg removed
# and includes the system's instead, which on Windows are MinGW builds: zlib from Debian's
# libz-mingw-w64-dev, libpng and libjpeg-turbo from scripts/mingw-deps.sh.
if(WIN32)
    find_package(PNG REQUIRED)
    find_package(JPEG REQUIRED)
    target_link_libraries(juce_lib PUBLIC PNG::PNG JPEG::JPEG ZLIB::ZLIB)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    target_link_libraries(juce_lib
        PUBLIC
            juce::pkgconfig_JUCE_IMG_LINUX_DEPS
            juce::pkgconfig_juce_graphics_LINUX_DEPS
            juce::pkgconfig_juce_audio_devices_LINUX_DEPS
            rt dl pthread)
endif()

# Every switch in one place, so that the library and everything that links it agree.
target_compile_definitions(juce_lib
    PUBLIC
        JUCE_WEB_BROWSER=0
        JUCE_USE_CURL=0
        JUCE_DISPLAY_SPLASH_SCREEN=0
        JUCE_REPORT_APP_USAGE=0
        JUCE_STRICT_REFCOUNTEDPOINTER=1
        JUCE_SILENCE_XCODE_15_LINKER_WARNING=1)

# JUCE's modal loops are compiled in, and every file of every program sees them, so
# that the library and the code that links it read JUCE's headers alike (the switch
# adds and removes member functions of Component, MessageManager and other classes,
# and a virtual one of MultiDocumentPanel, which would change its table of virtual functions). The tests pump messages with
# MessageManager::runDispatchLoopUntil; the updater itself runs no modal loop: its
# one loop is runDispatchLoop() in Application::initialise(), and its windows are
# never modal.
target_compile_definitions(juce_lib PUBLIC JUCE_MODAL_LOOPS_PERMITTED=1)

set_target_properties(juce_lib PROPERTIES POSITION_INDEPENDENT_CODE ON)
