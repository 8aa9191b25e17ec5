#include "PedalTestMessages.h"

#include "midi/SevenBitPacking.h"
#include "tools/pedal/Crc32.h"
#include "tools/pedal/FlashMemory.h"
#include "tools/pedal/PedalProtocol.h"

#include <gtest/gtest.h>

using pedal::FlashMemory;

namespace
{

/** The image's 490 blocks, unpacked: block number (LE16) and 515 stream bytes each. */
std::vector<juce::Array<juce::uint8>> imageBlocks()
{
    std::vector<juce::Array<juce::uint8>> blocks;
    for (auto& package : pedal_test::firmwarePackages())
        if (pedal::isBlockPackage (package))
            blocks.push_back (midi::SevenBitPacking::unpack (package.getSysExData() + midi::replyHeaderSize,
                                                             pedal::packedBlockSize));
    return blocks;
}

void storeAll (FlashMemory& flash, const std::vector<juce::Array<juce::uint8>>& blocks)
{
    for (auto& block : blocks)
        flash.store (block.begin(), block.size());
}

class FlashMemoryTest : public ::testing::Test
{
protected:
    const std::vector<juce::Array<juce::uint8>> blocks = imageBlocks();
    FlashMemory flash;
};

} // namespace

TEST (Crc32, MatchesTheZlibCheckValue)
{
    const juce::uint8 digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ (pedal::Crc32::of (digits, sizeof (digits)), 0xcbf43926u);
    EXPECT_EQ (pedal::Crc32::of (digits, 0), 0u);

    pedal::Crc32 pieces;
    pieces.update (digits, 4);
    pieces.update (digits + 4, 5);
    EXPECT_EQ (pieces.getValue(), 0xcbf43926u);
}

TEST_F (FlashMemoryTest, TheImageIs490BlocksInOrderThatCheckOut)
{
    ASSERT_EQ (blocks.size(), 490u);
    for (size_t i = 0; i < blocks.size(); ++i)
    {
        ASSERT_EQ (blocks[i].size(), 517);
        ASSERT_EQ (blocks[i][0] | (blocks[i][1] << 8), static_cast<int> (i));
    }

    storeAll (flash, blocks);
    const auto result = flash.check();
    EXPECT_TRUE (result.passed) << result.reason;
    EXPECT_EQ (result.revision, 1222);
    EXPECT_TRUE (flash.getMissing().empty());
    EXPECT_TRUE (flash.getDuplicates().empty());
}

TEST_F (FlashMemoryTest, EraseForgetsEveryBlock)
{
    storeAll (flash, blocks);
    flash.erase();
    EXPECT_TRUE (flash.getArrivalOrder().empty());
    EXPECT_EQ (flash.getMissing().size(), 490u);
    EXPECT_FALSE (flash.check().passed);
}

TEST_F (FlashMemoryTest, IncompleteOrRepeatedStreamsFail)
{
    auto without17 = blocks;
    without17.erase (without17.begin() + 17);
    storeAll (flash, without17);
    auto result = flash.check();
    EXPECT_FALSE (result.passed);
    EXPECT_TRUE (result.reason.contains ("missing blocks: 17")) << result.reason;
    EXPECT_EQ (flash.getMissing(), std::vector<int> ({17}));

    flash.erase();
    auto twice = blocks;
    twice.insert (twice.begin() + 18, blocks[17]);
    storeAll (flash, twice);
    result = flash.check();
    EXPECT_FALSE (result.passed);
    EXPECT_TRUE (result.reason.contains ("duplicated blocks: 17")) << result.reason;
    EXPECT_EQ (flash.getDuplicates(), std::vector<int> ({17}));
}

TEST_F (FlashMemoryTest, BlocksOutOfOrderFailEvenWhenAllArrived)
{
    auto swapped = blocks;
    std::swap (swapped[17], swapped[18]);
    storeAll (flash, swapped);

    const auto result = flash.check();
    EXPECT_FALSE (result.passed);
    EXPECT_TRUE (result.reason.contains ("block 18")) << result.reason;
    EXPECT_TRUE (flash.getMissing().empty());
}

TEST_F (FlashMemoryTest, HeaderAndPayloadAreChecked)
{
    auto check = [this] (int block, int offset, juce::uint8 flip)
    {
        auto changed = blocks;
        changed[static_cast<size_t> (block)].set (offset,
                                                  changed[static_cast<size_t> (block)][offset] ^ flip);
        flash.erase();
        storeAll (flash, changed);
        return flash.check();
    };

    // Offsets inside a block count from its block number: stream byte k of block 0 is at k + 2.
    EXPECT_TRUE (check (0, 2, 0x01).reason.contains ("magic"));
    EXPECT_TRUE (check (0, 2 + 8, 0x01).reason.contains ("length"));
    EXPECT_TRUE (check (0, 2 + 12, 0x01).reason.contains ("CRC"));
    EXPECT_TRUE (check (489, 516, 0x80).reason.contains ("CRC"));

    // The revision is not guarded by the CRC, and is what the pedal then reports.
    const auto revised = check (0, 2 + 4, 0x01);
    EXPECT_TRUE (revised.passed);
    EXPECT_EQ (revised.revision, 1223);
}

TEST_F (FlashMemoryTest, MalformedBlocksAreCountedAndFailTheCheck)
{
    storeAll (flash, blocks);
    auto bad = blocks[3];
    bad.set (1, 0x02); // block number 515 + 3: beyond the flash
    EXPECT_FALSE (flash.store (bad.begin(), bad.size()));
    EXPECT_FALSE (flash.store (blocks[4].begin(), 100));
    EXPECT_EQ (flash.getMalformedCount(), 2);
    EXPECT_EQ (flash.getArrivalOrder().size(), 490u);

    const auto result = flash.check();
    EXPECT_FALSE (result.passed);
    EXPECT_TRUE (result.reason.contains ("malformed")) << result.reason;
}
