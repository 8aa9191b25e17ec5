#pragma once

#include <cstddef>
#include <cstdint>

/** The entry points libFuzzer calls; every target defines the first, some the second. */
extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size);
extern "C" int LLVMFuzzerInitialize (int* argc, char*** argv);
