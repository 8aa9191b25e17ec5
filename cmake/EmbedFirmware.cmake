# Turns the firmware image into a C++ source that defines `firmwareImage`.
# Called at build time: cmake -DINPUT=... -DOUTPUT=... -DEXPECTED_SIZE=... -P EmbedFirmware.cmake
file(SIZE "${INPUT}" actual_size)
if(NOT actual_size EQUAL EXPECTED_SIZE)
    message(FATAL_ERROR "${INPUT} is ${actual_size} bytes; the updater carries an image of exactly ${EXPECTED_SIZE}")
endif()

file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Break the one long line every 32 bytes so compilers and editors stay happy.
string(REGEX REPLACE "((0x..,){32})" "\\1\n" bytes "${bytes}")

file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT}; do not edit.\n"
"#include \"firmware/FirmwareImage.h\"\n\n"
"const juce::uint8 firmwareImage[firmwareImageSize] = {\n${bytes}\n};\n\n"
"static_assert (sizeof (firmwareImage) == ${EXPECTED_SIZE}, \"firmware image has the wrong size\");\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
