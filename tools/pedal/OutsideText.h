#pragma once

#include <juce_core/juce_core.h>

#include <optional>

namespace pedal
{

/**
    Text handed to the simulated pedal from outside the program (environment
    variables, pedal-sim's command line) as a String; nothing when the bytes are not
    well-formed UTF-8 (an overlong form, a surrogate, a code point above U+10FFFF, a
    sequence cut short or a stray continuation byte).

    JUCE builds and reads its strings assuming valid UTF-8: a String made from
    malformed bytes can later be read past its end, so such text must be refused
    before it becomes a String.
*/
std::optional<juce::String> textFromOutside (const char* bytes);

} // namespace pedal
