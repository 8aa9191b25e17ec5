#pragma once

#include "controller/ControllerIF.h"

#include <utility>
#include <vector>

namespace fuzzing
{

/**
    Stands in for the controller: keeps every message posted to it, at once and on
    the posting thread, so that a target can drive a component message by message
    without running the message loop.
*/
class CapturingController : public controller::ControllerIF
{
public:
    void post (message::BaseMessage* message) override;
    void processMessage (message::BaseMessage&) override {}
    int getExitCode() const override { return 0; }

    /** The messages posted since the last call, oldest first; the record is emptied. */
    std::vector<juce::ReferenceCountedObjectPtr<message::BaseMessage>> take();

private:
    std::vector<juce::ReferenceCountedObjectPtr<message::BaseMessage>> posted;
};

} // namespace fuzzing
