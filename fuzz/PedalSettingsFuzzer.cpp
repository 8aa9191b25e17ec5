// The simulated pedal's settings text (from PEDAL_SIM or pedal-sim's command line)
// with any bytes: text that is not well-formed UTF-8 is refused, applying the rest
// never reads past the text, and settings that are accepted leave every value
// inside the range the pedal and its setup rely on, with block choices that
// resolve to block numbers 0 to 489.
//
// Input: the settings text, as the bytes of a C string.

#include "support/FuzzCheck.h"
#include "support/FuzzTarget.h"
#include "tools/pedal/OutsideText.h"
#include "tools/pedal/PedalConfig.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace
{

void checkBlocks (const pedal::BlockSelection& selection, juce::int64 seed, int salt)
{
    FUZZ_CHECK (selection.randomCount >= 0 && selection.randomCount <= pedal::PedalConfig::numBlocks);

    for (auto block : selection.resolve (seed, salt))
        FUZZ_CHECK (block >= 0 && block < pedal::PedalConfig::numBlocks);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    // The environment and the command line hand over NUL-terminated text.
    std::vector<char> text (data, data + size);
    text.push_back (0);

    // Text that is not well-formed UTF-8 is refused before it becomes a String; text
    // that is becomes one holding exactly its bytes.
    const auto settings = pedal::textFromOutside (text.data());
    if (!settings)
        return 0;

    FUZZ_CHECK (std::strcmp (settings->toRawUTF8(), text.data()) == 0);

    pedal::PedalConfig config;
    if (config.apply (*settings).failed())
        return 0;

    constexpr int maxDelayMs = 3600 * 1000;
    FUZZ_CHECK (config.name.isNotEmpty());
    FUZZ_CHECK (config.restartMs >= 0 && config.restartMs <= maxDelayMs);
    FUZZ_CHECK (config.acknowledgeDelayMs >= 0 && config.acknowledgeDelayMs <= maxDelayMs);
    FUZZ_CHECK (config.revisionDelayMs >= 0 && config.revisionDelayMs <= maxDelayMs);
    FUZZ_CHECK (config.extraDevices >= 0 && config.extraDevices <= 64);
    FUZZ_CHECK (config.unopenableDevices >= 0 && config.unopenableDevices <= 64);
    FUZZ_CHECK (config.foreignRate >= 1 && config.foreignRate <= 1000);
    FUZZ_CHECK (config.foreignBurst >= 1 && config.foreignBurst <= 10000);
    FUZZ_CHECK ((config.foreignKinds & ~pedal::PedalConfig::foreignAll) == 0);

    checkBlocks (config.lostBlocks, config.seed, 1);
    checkBlocks (config.duplicatedBlocks, config.seed, 2);
    checkBlocks (config.reorderedBlocks, config.seed, 3);
    checkBlocks (config.corruptedBlocks, config.seed, 4);
    return 0;
}
