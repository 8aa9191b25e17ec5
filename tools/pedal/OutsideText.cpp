#include "tools/pedal/OutsideText.h"

namespace pedal
{

namespace
{

bool isWellFormedUtf8 (const unsigned char* text)
{
    while (*text != 0)
    {
        const auto lead = *text++;
        if (lead < 0x80)
            continue;

        int extra = 0;
        juce::uint32 codePoint = 0;
        juce::uint32 smallest = 0;

        if ((lead & 0xe0) == 0xc0)
        {
            extra = 1;
            codePoint = lead & 0x1fu;
            smallest = 0x80;
        }
        else if ((lead & 0xf0) == 0xe0)
        {
            extra = 2;
            codePoint = lead & 0x0fu;
            smallest = 0x800;
        }
        else if ((lead & 0xf8) == 0xf0)
        {
            extra = 3;
            codePoint = lead & 0x07u;
            smallest = 0x10000;
        }
        else
        {
            return false; // a continuation byte in lead position, or a lead of five bytes or more
        }

        // The terminating NUL is no continuation byte, so a sequence cut short stops here.
        for (int i = 0; i < extra; ++i)
        {
            if ((*text & 0xc0) != 0x80)
                return false;

            codePoint = (codePoint << 6) | (*text++ & 0x3fu);
        }

        if (codePoint < smallest || codePoint > 0x10ffff || (codePoint >= 0xd800 && codePoint <= 0xdfff))
            return false;
    }
    return true;
}

} // namespace

std::optional<juce::String> textFromOutside (const char* bytes)
{
    if (bytes == nullptr || !isWellFormedUtf8 (reinterpret_cast<const unsigned char*> (bytes)))
        return std::nullopt;

    return juce::String (juce::CharPointer_UTF8 (bytes));
}

} // namespace pedal
