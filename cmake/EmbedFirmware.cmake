# Turns the firmware image into a C++ source that defines `firmwareImage`, and checks
# there that the file holds exactly the bytes firmware/FirmwareImage.h declares.
# Called at build time: cmake -DINPUT=... -DOUTPUT=... -P EmbedFirmware.cmake
file(SIZE "${INPUT}" actual_size)

file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Break the one long line every 32 bytes so compilers and editors stay happy.
string(REGEX REPLACE "((0x..,){32})" "\\1\n" bytes "${bytes}")

file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT}; do not edit.\n"
"#include \"firmware/FirmwareImage.h\"\n\n"
"static_assert (firmwareImageSize == ${actual_size}, \"the image file holds ${actual_size} bytes, \"\n"
"                                                  \"not the firmwareImageSize of firmware/FirmwareImage.h\");\n\n"
"const juce::uint8 firmwareImage[firmwareImageSize] = {\n${bytes}\n};\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
