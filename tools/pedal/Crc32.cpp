#include "tools/pedal/Crc32.h"

namespace pedal
{

const std::array<juce::uint32, 256>& Crc32::table() noexcept
{
    static const auto entries = []
    {
        std::array<juce::uint32, 256> t{};

        for (juce::uint32 n = 0; n < 256; ++n)
        {
            auto c = n;
            for (int bit = 0; bit < 8; ++bit)
                c = (c & 1u) != 0 ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();

    return entries;
}

void Crc32::update (const juce::uint8* data, size_t numBytes) noexcept
{
    const auto& t = table();

    for (size_t i = 0; i < numBytes; ++i)
        state = t[(state ^ data[i]) & 0xffu] ^ (state >> 8);
}

juce::uint32 Crc32::of (const juce::uint8* data, size_t numBytes) noexcept
{
    Crc32 crc;
    crc.update (data, numBytes);
    return crc.getValue();
}

} // namespace pedal
