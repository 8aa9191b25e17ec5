#include "support/CapturingController.h"

namespace fuzzing
{

void CapturingController::post (message::BaseMessage* message)
{
    if (message != nullptr)
        posted.emplace_back (message);
}

std::vector<juce::ReferenceCountedObjectPtr<message::BaseMessage>> CapturingController::take()
{
    return std::exchange (posted, {});
}

} // namespace fuzzing
