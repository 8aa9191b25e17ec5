#include "midi/SevenBitPacking.h"
#include "PedalBytes.h"

#include <gtest/gtest.h>

using midi::SevenBitPacking;
using namespace midi_testing;

namespace
{

/** A copy whose storage holds exactly its bytes, so that reading past the end is
    caught by the address sanitizer. */
juce::Array<juce::uint8> exactly (const juce::Array<juce::uint8>& bytes)
{
    juce::Array<juce::uint8> out (bytes);
    out.minimiseStorageOverheads();
    return out;
}

} // namespace

//==============================================================================
TEST (SevenBitPacking, UnpackedLengthIsPackedLengthLessOnePerGroup)
{
    const juce::Array<juce::uint8> zeros = []
    {
        juce::Array<juce::uint8> z;
        z.insertMultiple (0, 0, 40);
        return z;
    }();

    EXPECT_EQ (SevenBitPacking::unpack (zeros.begin(), 8).size(), 7);
    EXPECT_EQ (SevenBitPacking::unpack (zeros.begin(), 9).size(), 7);
    EXPECT_EQ (SevenBitPacking::unpack (zeros.begin(), 10).size(), 8);

    for (int n = 0; n <= 40; ++n)
        EXPECT_EQ (SevenBitPacking::unpack (zeros.begin(), n).size(), n - (n + 7) / 8) << n;

    EXPECT_TRUE (SevenBitPacking::unpack (nullptr, 8).isEmpty());
    EXPECT_TRUE (SevenBitPacking::unpack (zeros.begin(), -3).isEmpty());
}

TEST (SevenBitPacking, HighBitsByteGivesBitSevenFromTheFirstDataByteDown)
{
    const auto packed = bytesOf ({0x41, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ (SevenBitPacking::unpack (packed.begin(), packed.size()),
               bytesOf ({0x80, 0, 0, 0, 0, 0, 0x80}));

    const auto twoGroups = bytesOf ({0x20, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x40, 0x7f});
    EXPECT_EQ (SevenBitPacking::unpack (twoGroups.begin(), twoGroups.size()),
               bytesOf ({0x01, 0x82, 0x03, 0x04, 0x05, 0x06, 0x07, 0xff}));
}

TEST (SevenBitPacking, PackIsSevenBitCleanAndUnpackUndoesIt)
{
    juce::Random random (1222);

    for (int n = 0; n <= 30; ++n)
    {
        juce::Array<juce::uint8> data;
        for (int k = 0; k < n; ++k)
            data.add (static_cast<juce::uint8> (random.nextInt (256)));

        const auto packed = SevenBitPacking::pack (data.begin(), data.size());
        EXPECT_EQ (packed.size(), n + (n + 6) / 7) << n;

        for (auto b : packed)
            EXPECT_LT (b, 0x80);

        EXPECT_EQ (SevenBitPacking::unpack (packed.begin(), packed.size()), data) << n;
    }
}

//==============================================================================
TEST (DecodeRevision, FirstFourUnpackedBytesLeastSignificantFirst)
{
    auto reply = pedalData ({0x03});
    reply.addArray (bytesOf ({0x00, 0x01, 0x02, 0x00, 0x00}));
    EXPECT_EQ (midi::decodeRevision (exactly (reply)), 513);

    // Bit 7 of every byte comes from the high-bits byte; bytes after the fourth
    // are ignored.
    reply = pedalData ({0x03});
    reply.addArray (bytesOf ({0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f}));
    EXPECT_EQ (midi::decodeRevision (exactly (reply)), -1);

    // 1222 is C6 04 00 00: the high bit of C6 sits in bit 6 of the high-bits byte.
    reply = pedalData ({0x03, 0x40, 0x46, 0x04, 0x00, 0x00});
    EXPECT_EQ (midi::decodeRevision (exactly (reply)), 1222);
}

TEST (DecodeRevision, RepliesTooShortForFourBytesGiveNothing)
{
    const auto full = []
    {
        auto r = pedalData ({0x03});
        r.addArray (bytesOf ({0x7f, 0x7f, 0x7f, 0x7f, 0x7f}));
        return r;
    }();
    ASSERT_EQ (full.size(), 11);
    EXPECT_TRUE (midi::decodeRevision (exactly (full)).has_value());

    for (int n = 0; n < 11; ++n)
        EXPECT_FALSE (midi::decodeRevision (exactly (juce::Array<juce::uint8> (full.begin(), n))).has_value())
            << n;
}
