#include "FakeModel.h"

namespace downloader_test
{

FakeModel::FakeModel (message::ListenerInterface& controllerToUse, int packages)
    : numPackages (packages)
    , controller (controllerToUse)
{
}

void FakeModel::processMessage (message::BaseMessage& message)
{
    if (message.type == message::Code::updateRequest)
    {
        nextIndex = 0;
        ++rewinds;
    }
    else if (message.type == message::Code::nextPackageRequest)
    {
        const auto package = nextIndex < numPackages ? packageFor (nextIndex) : juce::Array<juce::uint8>();
        controller.post (new message::NextPackageResponse (static_cast<juce::uint32> (nextIndex),
                                                           static_cast<juce::uint32> (numPackages), package));
        ++nextIndex;
        ++responses;
    }
}

juce::Array<juce::uint8> FakeModel::packageFor (int index)
{
    const juce::uint8 bytes[] = {0xF0,
                                 0x00,
                                 0x6C,
                                 0x51,
                                 0x00,
                                 0x2E,
                                 0x52,
                                 static_cast<juce::uint8> (index & 0x7F),
                                 static_cast<juce::uint8> ((index >> 7) & 0x7F),
                                 0xF7};
    return {bytes, 10};
}

std::vector<juce::Array<juce::uint8>> FakeModel::image() const
{
    std::vector<juce::Array<juce::uint8>> result;
    for (int i = 0; i < numPackages; ++i)
        result.push_back (packageFor (i));
    return result;
}

} // namespace downloader_test
