#include "midi/ThreadPause.h"

#include <juce_core/juce_core.h>

#include <cmath>

namespace midi
{

bool pauseUnlessStopped (int milliseconds)
{
    return pauseUntil (juce::Time::getMillisecondCounterHiRes() + milliseconds);
}

bool pauseUntil (double endMs)
{
    auto* thread = juce::Thread::getCurrentThread();

    // Thread::wait() also returns when anything notifies the thread, so wait again
    // for what is left unless the thread is asked to exit.
    for (;;)
    {
        if (thread != nullptr && thread->threadShouldExit())
            return false;

        const auto left = endMs - juce::Time::getMillisecondCounterHiRes();

        if (left <= 0.0)
            return true;

        const auto waitMs = juce::jmax (1, static_cast<int> (std::ceil (left)));

        if (thread == nullptr)
            juce::Thread::sleep (waitMs);
        else
            thread->wait (waitMs);
    }
}

} // namespace midi
