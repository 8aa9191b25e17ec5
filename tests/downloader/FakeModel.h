#pragma once

#include "message/ListenerInterface.h"
#include "message/Messages.h"

#include <vector>

namespace downloader_test
{

/**
    A model with a small image: answers each NextPackageRequest with the next
    numbered package (then empty ones past the end) and rewinds to the first
    package on UpdateRequest, as the application's model does.
*/
class FakeModel : public message::ListenerInterface
{
public:
    FakeModel (message::ListenerInterface& controller, int numPackages);

    void processMessage (message::BaseMessage& message) override;

    /** The package with this index: a short firmware block whose data carries the index. */
    static juce::Array<juce::uint8> packageFor (int index);

    /** The whole image in order. */
    std::vector<juce::Array<juce::uint8>> image() const;

    const int numPackages;
    int nextIndex = 0;
    int responses = 0;
    int rewinds = 0;

private:
    message::ListenerInterface& controller;
};

} // namespace downloader_test
