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
