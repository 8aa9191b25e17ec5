#include "MouseSimulation.h"

#include "support/MessagePump.h"

namespace view_testing
{

namespace
{

// Events well apart in time, so that two clicks never count as a double click.
juce::int64 nextEventTime()
{
    static juce::int64 time = juce::Time::currentTimeMillis();
    time += 1000;
    return time;
}

void sendMouse (juce::ComponentPeer& peer, juce::Point<int> positionInPeer, bool buttonDown)
{
    const auto mods =
        buttonDown ? juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier) : juce::ModifierKeys();
    peer.handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, positionInPeer.toFloat(), mods,
                           juce::MouseInputSource::defaultPressure,
                           juce::MouseInputSource::defaultOrientation, nextEventTime());
}

} // namespace

bool clickOn (const juce::Component& target)
{
    auto* peer = target.getPeer();

    if (peer == nullptr)
        return false;

    const auto position = peer->getComponent().getLocalPoint (&target, target.getLocalBounds().getCentre());
    sendMouse (*peer, position, false);
    sendMouse (*peer, position, true);
    sendMouse (*peer, position, false);
    return true;
}

bool dragInWindow (const juce::Component& window, juce::Point<int> start, juce::Point<int> offset)
{
    auto* peer = window.getPeer();

    if (peer == nullptr || &peer->getComponent() != &window)
        return false;

    // Whenever a window moves or changes size, JUCE on Windows replays the system's own
    // pointer into it when that pointer is over the window, which ends a simulated drag
    // after its first step: park the pointer outside the window first. JUCE reads the
    // pointer where the last message found it, so let a message go by afterwards.
    const auto away = juce::Desktop::getInstance().getDisplays().getTotalBounds (true).getTopLeft();
    juce::Desktop::getInstance().getMainMouseSource().setScreenPosition (away.toFloat());
    testing_support::drainMessages();

    if (window.getScreenBounds().contains (away))
        return false;

    sendMouse (*peer, start, false);
    sendMouse (*peer, start, true);

    for (int step = 1; step <= 4; ++step)
        sendMouse (*peer, start + offset * step / 4, true);

    sendMouse (*peer, start + offset, false);
    return true;
}

} // namespace view_testing
