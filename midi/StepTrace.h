#pragma once

#include <juce_core/juce_core.h>

#include <functional>

namespace midi
{

/** Where the transport and the downloader describe each step they take, one line
    a step, for a run that was asked to say what it does. Called on whichever thread
    takes the step; an empty function says nothing. */
using StepTrace = std::function<void (const juce::String& line)>;

} // namespace midi
