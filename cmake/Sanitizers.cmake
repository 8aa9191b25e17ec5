# UPDATER_SANITIZE=address (AddressSanitizer with UndefinedBehaviorSanitizer) or
# thread (ThreadSanitizer) builds everything, JUCE included, instrumented.
set(UPDATER_SANITIZE "" CACHE STRING "address, thread or empty")

if(UPDATER_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(UPDATER_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT UPDATER_SANITIZE STREQUAL "")
    message(FATAL_ERROR "UPDATER_SANITIZE must be address, thread or empty")
endif()

# The source files JUCE's module targets hand to whoever links them.
function(updater_juce_module_sources module out_var)
    get_target_property(sources juce::${module} INTERFACE_SOURCES)
    list(FILTER sources INCLUDE REGEX "\\.(cpp|mm)$")
    set(${out_var} ${sources} PARENT_SCOPE)
endfunction()

# The sanitizer runs build and run only the engine's tests: JUCE's window and drawing
# modules are linked but hardly run there, yet optimising them is most of an
# instrumented build (gui_basics alone takes minutes). They stay instrumented, so
# that nothing in them can hide a race from ThreadSanitizer or an access from
# AddressSanitizer, but are compiled unoptimised and without debug information.
# (Deferred: the sources are those JUCE's targets name once cmake/JucePatches.cmake has
# pointed a patched module at its copy.)
function(updater_unoptimise_juce_window_modules)
    foreach(module juce_gui_basics juce_graphics juce_data_structures)
        updater_juce_module_sources(${module} sources)
        set_source_files_properties(${sources} PROPERTIES COMPILE_OPTIONS "-O0;-g0")
    endforeach()
endfunction()
if(NOT UPDATER_SANITIZE STREQUAL "")
    cmake_language(DEFER CALL updater_unoptimise_juce_window_modules)
endif()

# A unity build (CMAKE_UNITY_BUILD=ON, as the sanitizer runs configure theirs) merges
# the project's own sources, which spend most of their compile time in JUCE's
# headers. JUCE's module sources are each one large unit already: merged, they would
# become one unit that no second core could share. (Deferred: juce_lib is made later.)
cmake_language(DEFER CALL set_target_properties juce_lib PROPERTIES UNITY_BUILD OFF)

# gcc warns about a test fixture in an anonymous namespace once a unity build has
# made its file an included one; the fixture is still local to its test file.
if(CMAKE_UNITY_BUILD AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-subobject-linkage)
endif()
