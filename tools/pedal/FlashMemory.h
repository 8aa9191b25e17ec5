#pragma once

#include <juce_core/juce_core.h>

#include <vector>

namespace pedal
{

/**
    The application flash as the pedal's boot loader sees it: blocks of the firmware
    stream stored under their numbers, with a record of how they arrived, and the
    check that decides whether the pedal may start the new firmware.

    The boot loader writes the flash sequentially, so a stream only checks out when
    every block arrived exactly once and in order, and its magic, length and CRC-32
    agree.
*/
class FlashMemory
{
public:
    static constexpr int numBlocks = 490;
    static constexpr int blockSize = 515;
    static constexpr int streamSize = numBlocks * blockSize;
    static constexpr int streamHeaderSize = 16;
    static constexpr int payloadSize = 252334;

    struct CheckResult
    {
        bool passed = false;
        juce::String reason;      ///< empty when passed
        juce::int32 revision = 0; ///< the stream's revision, when passed
    };

    FlashMemory();

    /** Wipes the flash and forgets every block received before. */
    void erase();

    /** Stores one block: `size` unpacked bytes, the block number (LE16) and 515 bytes
        of the stream. False, and counted as malformed, for any other size or number. */
    bool store (const juce::uint8* data, int size);

    /** Counts a block package that could not even be unpacked into a block. */
    void noteMalformed() { ++malformed; }

    /** Checks the stream received since the last erase. */
    CheckResult check() const;

    const std::vector<int>& getArrivalOrder() const { return arrivalOrder; }
    std::vector<int> getDuplicates() const;
    std::vector<int> getMissing() const;
    int getMalformedCount() const { return malformed; }

private:
    std::vector<juce::uint8> stream;
    std::vector<int> timesReceived;
    std::vector<int> arrivalOrder;
    int malformed = 0;
};

} // namespace pedal
