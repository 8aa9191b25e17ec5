#include "ExpectedArrival.h"

#include "firmware/FirmwareImage.h"
#include "tools/pedal/PedalProtocol.h"
#include "tools/pedal/TransitFaults.h"

#include <utility>

namespace soak
{

namespace
{
bool isFirmwarePackage (const juce::MidiMessage& message)
{
    if (!pedal::isForPedal (message) || message.getSysExDataSize() <= pedal::deviceHeaderSize)
        return false;

    const auto command = message.getSysExData()[pedal::deviceHeaderSize];
    return command == pedal::beginUpdateCommand || command == pedal::blockCommand;
}

bool isEndOfImage (const juce::MidiMessage& message)
{
    return isFirmwarePackage (message) && message.getSysExDataSize() == pedal::deviceHeaderSize + 2 &&
           message.getSysExData()[pedal::deviceHeaderSize] == pedal::blockCommand &&
           message.getSysExData()[pedal::deviceHeaderSize + 1] == 0x01;
}
} // namespace

ExpectedArrival ExpectedArrival::of (const std::vector<juce::Array<juce::uint8>>& image,
                                     const pedal::PedalConfig& config, pedal::PedalMode mode)
{
    // The same link the pedal puts between itself and the updater, fed the image in order.
    pedal::TransitFaults transit (config);
    std::vector<juce::MidiMessage> arriving;

    for (auto& package : image)
        transit.pass (juce::MidiMessage (package.begin(), package.size()), arriving);

    ExpectedArrival expected;

    for (auto& message : arriving)
    {
        if (!isFirmwarePackage (message))
            continue;

        ++expected.packages;

        if (mode == pedal::PedalMode::normal)
            continue; // counted, never stored

        if (const auto block = pedal::TransitFaults::blockNumberOf (message))
            expected.blockOrder.push_back (*block);

        // The boot loader restarts at the end of the image: whatever was held back
        // behind the end never reaches it.
        if (isEndOfImage (message))
            break;
    }

    return expected;
}

const std::vector<juce::Array<juce::uint8>>& ExpectedArrival::embeddedImage()
{
    // Cut here, message by message (each ends with its F7), rather than by the
    // model: what the pedal should receive must not depend on the code under test.
    static const auto packages = []
    {
        std::vector<juce::Array<juce::uint8>> cut;
        juce::Array<juce::uint8> message;

        for (size_t i = 0; i < firmwareImageSize; ++i)
        {
            message.add (firmwareImage[i]);
            if (firmwareImage[i] == 0xf7)
                cut.push_back (std::exchange (message, {}));
        }

        jassert (cut.size() == 492 && message.isEmpty());
        return cut;
    }();
    return packages;
}

} // namespace soak
