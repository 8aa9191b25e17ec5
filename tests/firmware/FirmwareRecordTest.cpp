// The firmware record and the image embedded at build time.
#include "Sha256.h"

#include "firmware/FirmwareClass.h"
#include "firmware/FirmwareImage.h"

#include <gtest/gtest.h>

#include <cstring>

using testing_support::Sha256;

namespace
{
std::string sha256Of (const char* text)
{
    return Sha256::hexOf (reinterpret_cast<const std::uint8_t*> (text), std::strlen (text));
}

/** A record whose stored size does not fit 32 bits, to see what getSize reports. */
class OversizedRecord : public FirmwareBaseClass
{
public:
    OversizedRecord()
        : FirmwareBaseClass ("Big", "9.9", 1)
    {
        size = (juce::int64{1} << 32) + 9;
    }
};

/** The base record alone: no image bound to it. */
class BareRecord : public FirmwareBaseClass
{
public:
    BareRecord()
        : FirmwareBaseClass ("Verrano2", "0.0.1", -5)
    {
    }
};
} // namespace

//==============================================================================
TEST (Sha256, MatchesPublishedDigests)
{
    // FIPS 180-4 examples: empty input, one block, and a message spanning two blocks.
    EXPECT_EQ (sha256Of (""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ (sha256Of ("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ (sha256Of ("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
               "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

//==============================================================================
TEST (FirmwareRecord, EmbeddedImageIsTheReleasedOneUnchanged)
{
    FirmwareClass record;

    ASSERT_EQ (record.getSize(), 293528u);
    EXPECT_EQ (record.getData(), firmwareImage) << "the record must point into the image, not copy it";
    EXPECT_EQ (Sha256::hexOf (record.getData(), record.getSize()),
               "0db52adac007c04a17a1f743e71a90afc4096e5029a759adb50901691de4409b");
}

TEST (FirmwareRecord, DescribesRelease1222)
{
    FirmwareClass record;

    EXPECT_EQ (record.getProductName(), "Verrano2");
    EXPECT_EQ (record.getVersion(), "1.2.00");
    EXPECT_EQ (record.getSVNNumber(), 1222);
    EXPECT_EQ (record.getTag(), 0);
}

TEST (FirmwareRecord, ImageIsBackToBackSysExMessages)
{
    FirmwareClass record;
    const auto* bytes = record.getData();
    const auto size = record.getSize();

    int starts = 0, ends = 0;
    bool insideMessage = false;

    // The only bytes of 80 and above are F0 and F7, and they alternate: every
    // message is closed before the next one opens, with nothing in between.
    for (juce::uint32 i = 0; i < size; ++i)
    {
        const auto b = bytes[i];

        if (b == 0xF0)
        {
            ASSERT_FALSE (insideMessage) << "F0 inside a message at " << i;
            insideMessage = true;
            ++starts;
        }
        else if (b == 0xF7)
        {
            ASSERT_TRUE (insideMessage) << "F7 outside a message at " << i;
            insideMessage = false;
            ++ends;
        }
        else
        {
            ASSERT_LT (b, 0x80) << "status byte inside a message at " << i;
            ASSERT_TRUE (insideMessage) << "data byte between messages at " << i;
        }
    }

    EXPECT_EQ (starts, 492);
    EXPECT_EQ (ends, 492);
    EXPECT_FALSE (insideMessage);
    EXPECT_EQ (bytes[0], 0xF0);
    EXPECT_EQ (bytes[size - 1], 0xF7);
}

//==============================================================================
TEST (FirmwareRecord, BaseRecordHoldsNoImage)
{
    BareRecord record;

    EXPECT_EQ (record.getData(), nullptr);
    EXPECT_EQ (record.getSize(), 0u);
    EXPECT_EQ (record.getProductName(), "Verrano2");
    EXPECT_EQ (record.getVersion(), "0.0.1");
    EXPECT_EQ (record.getSVNNumber(), -5);
}

TEST (FirmwareRecord, SizeIsReportedOnItsLow32Bits)
{
    OversizedRecord record;
    EXPECT_EQ (record.getSize(), 9u);
}
