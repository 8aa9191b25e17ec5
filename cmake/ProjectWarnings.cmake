# Warnings for the project's own code only; JUCE's sources are compiled inside
# juce_lib and keep their own settings.
add_library(updater_warnings INTERFACE)
target_link_libraries(updater_warnings INTERFACE juce::juce_recommended_warning_flags)
target_compile_options(updater_warnings INTERFACE -Wno-missing-field-initializers)
if(UPDATER_WARNINGS_AS_ERRORS)
    target_compile_options(updater_warnings INTERFACE -Werror)
endif()
